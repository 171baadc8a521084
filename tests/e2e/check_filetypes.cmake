# The command line's file-type registration into a scratch XDG data and configuration home:
# registering writes the package, the desktop entry starting this executable and the default;
# unregistering takes all of it away again and leaves the user's other defaults.
#   TOOL  tevrinemu     WORK  a scratch folder
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/config)
file(WRITE ${WORK}/config/mimeapps.list "[Default Applications]\ntext/plain=editor.desktop;\n")
set(env ${CMAKE_COMMAND} -E env XDG_DATA_HOME=${WORK}/data XDG_CONFIG_HOME=${WORK}/config)

execute_process(COMMAND ${env} ${TOOL} --register-file-types RESULT_VARIABLE rc
                OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "--register-file-types exited with ${rc}: ${out}${err}")
endif()
file(READ ${WORK}/data/applications/tevrinemu.desktop entry)
file(REAL_PATH ${TOOL} exe)
string(FIND "${entry}" "Exec=\"${exe}\" %f" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the desktop entry does not start ${exe}:\n${entry}")
endif()
foreach(package tevrinemu-tape.xml tevrinemu-snapshot.xml)
  if(NOT EXISTS ${WORK}/data/mime/packages/${package})
    message(FATAL_ERROR "no ${package}: ${out}")
  endif()
endforeach()
file(READ ${WORK}/config/mimeapps.list defaults)
string(FIND "${defaults}" "application/x-tevrin-tape=tevrinemu.desktop;" at)
if(at EQUAL -1)
  message(FATAL_ERROR "not the default for tapes:\n${defaults}")
endif()

execute_process(COMMAND ${env} ${TOOL} --unregister-file-types RESULT_VARIABLE rc
                OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "--unregister-file-types exited with ${rc}: ${out}${err}")
endif()
foreach(left applications/tevrinemu.desktop mime/packages/tevrinemu-tape.xml
        mime/packages/tevrinemu-snapshot.xml)
  if(EXISTS ${WORK}/data/${left})
    message(FATAL_ERROR "${left} is still there after --unregister-file-types")
  endif()
endforeach()
file(READ ${WORK}/config/mimeapps.list defaults)
if(NOT defaults STREQUAL "[Default Applications]\ntext/plain=editor.desktop;\n")
  message(FATAL_ERROR "the user's defaults changed:\n${defaults}")
endif()
