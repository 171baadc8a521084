# The built-in ROM through the disassembly and back: the assembler names what it placed where
# (--ranges), tevrin-disasm writes the image's code and data ranges as labels-mode source, and
# assembling that source must give the image byte for byte.
# -DASM=tevrin-asm -DDISASM=tevrin-disasm -DSOURCE=tevrin.asm -DROM=tevrin.rom -DLOAD=address
# -DWORK=folder [-DNOTATION=--z80]
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc ERROR_VARIABLE err OUTPUT_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN}\nfailed (${rc}): ${err}${out}")
  endif()
endfunction()

run(${ASM} ${SOURCE} -o ${WORK}/reference.rom --size 16384 --fill 0FFH --ranges ${WORK}/rom.rng)
run(${CMAKE_COMMAND} -E compare_files ${WORK}/reference.rom ${ROM})
run(${DISASM} ${ROM} ${WORK}/rom.rng ${WORK}/rom.asm --load ${LOAD} ${NOTATION})
run(${ASM} ${WORK}/rom.asm -o ${WORK}/again.rom --size 16384 --fill 0FFH ${NOTATION})
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/again.rom ${ROM}
                RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  message(FATAL_ERROR "${WORK}/rom.asm assembles into bytes that differ from ${ROM}")
endif()

# The list held code and every kind of data the ROM has, so the trip covered them.
file(STRINGS ${WORK}/rom.rng ranges)
foreach(type 0 1 2 3)
  string(REGEX MATCH ",${type},0" seen "${ranges}")
  if(NOT seen)
    message(FATAL_ERROR "the ROM's range list holds no range of type ${type}")
  endif()
endforeach()
