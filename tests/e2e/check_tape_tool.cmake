# The built tevrin-tape as a script would use it: a BASIC listing into a new tape and back, a
# file appended, and a refused file that leaves the tape as it was.
#   TOOL  tevrin-tape     WORK  a scratch folder
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(tape_tool expected)
  execute_process(COMMAND ${TOOL} ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  if(NOT rc EQUAL expected)
    message(FATAL_ERROR "tevrin-tape ${ARGN} exited with ${rc}, not ${expected}: ${err}")
  endif()
  set(stdout "${out}" PARENT_SCOPE)
  set(stderr "${err}" PARENT_SCOPE)
endfunction()

tape_tool(0 --help)
if(NOT stdout MATCHES "basic-import")
  message(FATAL_ERROR "--help does not list the commands: ${stdout}")
endif()

file(WRITE ${WORK}/game.txt "10 REM GAME\r\n20 FOR I=1 TO 9:PRINT I:NEXT I\r\n")
tape_tool(0 basic-import ${WORK}/game.txt ${WORK}/game.pta)
tape_tool(0 basic-export ${WORK}/game.pta ${WORK}/back.txt)
file(READ ${WORK}/game.txt sent HEX)
file(READ ${WORK}/back.txt back HEX)
if(NOT sent STREQUAL back)
  message(FATAL_ERROR "the listing came back changed")
endif()

# Lines out of order: the log in English from the delivered language file, status 1.
file(WRITE ${WORK}/odd.txt "20 STOP\n10 STOP\n")
tape_tool(1 basic-import ${WORK}/odd.txt ${WORK}/odd.pta)
if(NOT stderr MATCHES "Line 10 comes after line 20" OR NOT EXISTS ${WORK}/odd.txt.log)
  message(FATAL_ERROR "the import log is missing: ${stderr}")
endif()

file(WRITE ${WORK}/note.bin "a short note")
tape_tool(0 add ${WORK}/game.pta ${WORK}/note.bin --number 7F --type data)
file(READ ${WORK}/game.pta before HEX)
string(REPEAT "0123456789abcdef" 7881 big)  # 126096 bytes
file(WRITE ${WORK}/big.bin "${big}")
tape_tool(2 add ${WORK}/game.pta ${WORK}/big.bin)
file(READ ${WORK}/game.pta after HEX)
if(NOT before STREQUAL after)
  message(FATAL_ERROR "a refused file changed the tape")
endif()
tape_tool(0 list ${WORK}/game.pta)
if(NOT stdout MATCHES "7F +04 DATA")
  message(FATAL_ERROR "the appended record is not listed: ${stdout}")
endif()

# The tape as sound from a recorder running 5 % slow, and back: both records, none damaged.
tape_tool(0 wav ${WORK}/game.pta ${WORK}/game.wav --speed 0.95)
tape_tool(0 from-wav ${WORK}/game.wav ${WORK}/back.pta)
if(NOT stdout MATCHES "02 BASIC +1 blocks +0 with no good copy +1140\\.[0-9] bit/s"
   OR NOT stdout MATCHES "7F +04 DATA")
  message(FATAL_ERROR "from-wav did not find both records: ${stdout}")
endif()
# The same as FLAC, and that FLAC made an OGG/Vorbis by another program: the same records.
tape_tool(0 wav ${WORK}/game.pta ${WORK}/game.flac --speed 0.95)
file(READ ${WORK}/game.flac magic LIMIT 4 HEX)
if(NOT magic STREQUAL "664c6143")  # "fLaC"
  message(FATAL_ERROR "wav to a .flac name wrote no FLAC")
endif()
file(READ ${WORK}/back.pta fromWave HEX)
tape_tool(0 from-audio ${WORK}/game.flac ${WORK}/back-flac.pta)
file(READ ${WORK}/back-flac.pta fromFlac HEX)
if(NOT fromFlac STREQUAL fromWave)
  message(FATAL_ERROR "the FLAC gave other records than the WAV: ${stdout}")
endif()
find_program(SOX sox REQUIRED)  # scripts/install-deps.sh installs it
execute_process(COMMAND ${SOX} ${WORK}/game.flac ${WORK}/game.ogg RESULT_VARIABLE soxStatus)
if(NOT soxStatus EQUAL 0)
  message(FATAL_ERROR "sox could not make an OGG: ${soxStatus}")
endif()
tape_tool(0 from-audio ${WORK}/game.ogg ${WORK}/back-ogg.pta)
file(READ ${WORK}/back-ogg.pta fromOgg HEX)
if(NOT fromOgg STREQUAL fromWave)
  message(FATAL_ERROR "the OGG gave other records than the WAV: ${stdout}")
endif()
file(WRITE ${WORK}/hiss.wav "RIFF")
tape_tool(2 from-wav ${WORK}/hiss.wav ${WORK}/none.pta)
if(EXISTS ${WORK}/none.pta)
  message(FATAL_ERROR "a refused recording wrote a tape")
endif()
