# Installs under a staging prefix and checks that every format lands in the
# prefix's folder for it (lib/vst, lib/clap, lib/vst3, lib/lv2), which Linux
# hosts scan.
file(REMOVE_RECURSE ${STAGE})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${STAGE}/usr
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()
foreach(name vst/tunedeck.so vst/tunedeck_compact.so clap/tunedeck.clap vst3/tunedeck.vst3/Contents/x86_64-linux/tunedeck.so
             lv2/tunedeck.lv2/tunedeck.so lv2/tunedeck.lv2/manifest.ttl lv2/tunedeck.lv2/tunedeck.ttl)
  if(NOT EXISTS ${STAGE}/usr/lib/${name})
    message(FATAL_ERROR "${name} is not in ${STAGE}/usr/lib")
  endif()
endforeach()
file(REMOVE_RECURSE ${STAGE})
