# The monitor's SAVE into a new tape headless, then LOAD of that tape into a fresh machine, with
# normal and with fast loading: the memory loaded must be the memory saved. A tape that holds
# no data record is reported and the run goes on.
# With TAPE_TOOL (tevrin-tape) the tape also goes through sound: played 4 % fast into a WAV,
# which the machine loads from as a recording of a cassette.
#   TOOL  tevrinemu     BIN  the program folder     WORK  a scratch folder
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(READ ${BIN}/TevrinEmu.xml config)
string(REPLACE "<RomFile>tevrin.rom</RomFile>" "<RomFile>${BIN}/tevrin.rom</RomFile>" config
       "${config}")
file(WRITE ${WORK}/TevrinEmu.xml "${config}")
set(run ${TOOL} --headless --config ${WORK}/TevrinEmu.xml --speed max --run-ms 16000)

function(run_machine)
  execute_process(COMMAND ${run} ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "tevrinemu ${ARGN} exited with ${rc}: ${err}")
  endif()
  set(stderr "${err}" PARENT_SCOPE)
endfunction()

# 300 bytes: three blocks, the last one partly filled.
run_machine(--type-at 1000 "f 2000 12c 5a\ne 2000 de ad be ef\ne 212b 77\nsave 2000 12c\n"
            --record ${WORK}/saved.pta --dump-mem 0x2000:300:${WORK}/saved.bin)
if(NOT EXISTS ${WORK}/saved.pta)
  message(FATAL_ERROR "SAVE wrote no tape: ${stderr}")
endif()
file(SIZE ${WORK}/saved.pta size)
# Length field and type byte, then each of the three 133-byte blocks twice.
if(NOT size EQUAL 803)
  message(FATAL_ERROR "the tape holds ${size} bytes, not 5 + 3 x 2 x 133 = 803")
endif()
file(READ ${WORK}/saved.bin saved HEX)
string(SUBSTRING "${saved}" 0 10 head)
if(NOT head STREQUAL "deadbeef5a")
  message(FATAL_ERROR "the memory saved starts ${head}")
endif()

foreach(mode normal fast)
  set(extra)
  if(mode STREQUAL "fast")
    set(extra --tape-fast)
  endif()
  run_machine(--tape ${WORK}/saved.pta ${extra} --type-at 500 "load 3000\n"
              --dump-mem 0x3000:300:${WORK}/loaded-${mode}.bin)
  file(READ ${WORK}/loaded-${mode}.bin loaded HEX)
  if(NOT loaded STREQUAL saved)
    message(FATAL_ERROR "${mode} loading: the memory loaded differs from the memory saved")
  endif()
endforeach()

if(TAPE_TOOL)
  execute_process(COMMAND ${TAPE_TOOL} wav ${WORK}/saved.pta ${WORK}/saved.wav --speed 1.04
                  RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "tevrin-tape wav exited with ${rc}: ${err}")
  endif()
  run_machine(--tape ${WORK}/saved.wav --type-at 500 "load 3000\n"
              --dump-mem 0x3000:300:${WORK}/loaded-wav.bin)
  file(READ ${WORK}/loaded-wav.bin loaded HEX)
  if(NOT loaded STREQUAL saved)
    message(FATAL_ERROR "loading the recording: the memory loaded differs from the memory saved")
  endif()
  file(WRITE ${WORK}/hiss.wav "RIFF")
  run_machine(--tape ${WORK}/hiss.wav --run-ms 100)
  if(NOT stderr MATCHES "no record found on .*hiss.wav")
    message(FATAL_ERROR "a recording with no record went unreported: ${stderr}")
  endif()
endif()

file(WRITE ${WORK}/empty.pta "not a tape")
run_machine(--tape ${WORK}/empty.pta --run-ms 100)
if(NOT stderr MATCHES "empty.pta")
  message(FATAL_ERROR "a tape with no data record went unreported: ${stderr}")
endif()
