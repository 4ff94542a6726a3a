# Installs under a staging prefix and checks that both plug-ins land in the
# prefix's lib/vst, a folder that Linux hosts scan.
file(REMOVE_RECURSE ${STAGE})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${STAGE}/usr
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()
foreach(name tunedeck.so tunedeck_compact.so)
  if(NOT EXISTS ${STAGE}/usr/lib/vst/${name})
    message(FATAL_ERROR "${name} is not in ${STAGE}/usr/lib/vst")
  endif()
endforeach()
