# Runs the built emulator headless on the built monitor ROM and checks what it shows.
#   TOOL       tevrinemu
#   BIN        the program folder (TevrinEmu.xml and tevrin.rom)
#   WORK       a scratch folder for the configuration and the dumps
#   RUN_MS     emulated milliseconds to run
#   TYPE       text to type ("|" stands for Enter), optional
#   HARDWARE   attribute=value pairs for the Hardware section, e.g. "chain-timer01=true"
#   EXPECTED_TEXT  file with the expected screen text: the monitor's 32 x 32 text buffer,
#                  trailing blanks and blank rows at the end left out
#   EXPECTED_VRAM  file with the expected three video planes (24,576 bytes)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

file(READ ${BIN}/TevrinEmu.xml config)
string(REPLACE "<RomFile>tevrin.rom</RomFile>" "<RomFile>${BIN}/tevrin.rom</RomFile>" config
       "${config}")
foreach(pair ${HARDWARE})
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 name)
  list(GET pair 1 value)
  string(REGEX REPLACE "(<Hardware[^>]* ${name}=)\"[^\"]*\"" "\\1\"${value}\"" config "${config}")
endforeach()
file(WRITE ${WORK}/TevrinEmu.xml "${config}")

set(args --headless --config ${WORK}/TevrinEmu.xml --speed max --run-ms ${RUN_MS}
    --dump-mem 0x9C00:1024:${WORK}/text.bin --dump-vram ${WORK}/vram.bin)
if(DEFINED TYPE)
  string(REPLACE "|" "\n" typed "${TYPE}")
  list(APPEND args --type "${typed}")
endif()
execute_process(COMMAND ${TOOL} ${args} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "tevrinemu exited with ${rc}: ${err}")
endif()

if(DEFINED EXPECTED_TEXT)
  file(READ ${WORK}/text.bin buffer)
  string(LENGTH "${buffer}" length)
  if(NOT length EQUAL 1024)
    message(FATAL_ERROR "the text buffer dump has ${length} bytes, not 1024")
  endif()
  set(screen "")
  foreach(row RANGE 31)
    math(EXPR at "${row} * 32")
    string(SUBSTRING "${buffer}" ${at} 32 line)
    string(REGEX REPLACE " +$" "" line "${line}")
    string(APPEND screen "${line}\n")
  endforeach()
  string(REGEX REPLACE "\n+$" "\n" screen "${screen}")
  file(READ ${EXPECTED_TEXT} expected)
  if(NOT screen STREQUAL expected)
    message(FATAL_ERROR "the screen differs.\n--- shown:\n${screen}--- expected:\n${expected}")
  endif()
endif()

if(DEFINED EXPECTED_VRAM)
  file(SHA256 ${WORK}/vram.bin actual)
  file(SHA256 ${EXPECTED_VRAM} expected)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "the picture differs from ${EXPECTED_VRAM}; the run's planes are in "
                        "${WORK}/vram.bin")
  endif()
endif()
