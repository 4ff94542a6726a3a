# The tests of the Windows cross build, run under wine64 (the toolchain
# file's emulator); 32-bit programs cannot run on these machines at all.
# GoogleTest comes from Debian's googletest source, built with the cross
# compiler.
set(TUNEDECK_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source (Debian's googletest package)")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${TUNEDECK_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# (its own CMake files name the targets GTest::gtest and GTest::gtest_main)

add_library(tunedeck_test_support STATIC
  support/TestFiles.cpp
  support/AllocationCounter.cpp
  support/GuardedBytes.cpp
  support/LoadedLibrary.cpp
)
target_link_libraries(tunedeck_test_support PUBLIC tunedeck_library GTest::gtest)
target_include_directories(tunedeck_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/..)

# Programs that link the runtimes in, so wine needs no MinGW DLLs beside them.
function(tunedeck_windows_test target)
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  add_test(NAME ${target} COMMAND ${target} WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  # A message box that nobody can answer (no display) would wait forever.
  set_tests_properties(${target} PROPERTIES TIMEOUT 300)
endfunction()

# The unit tests that need no X11 and no Linux-only system call.
add_executable(tunedeck_tests
  vst2/HostBindingTests.cpp
  deck/ParameterTests.cpp
  deck/AudioThreadTests.cpp
  deck/RenderingTests.cpp
  deck/TempoTests.cpp
  deck/MidiTests.cpp
  sources/WavFormatTests.cpp
  sources/WavSourceTests.cpp
  sources/OverviewTests.cpp
  sources/LoaderTests.cpp
  gui/CanvasTests.cpp
  gui/WindowViewTests.cpp
  gui/ControlTests.cpp
  editor/EditorLayoutTests.cpp
  editor/EditorBehaviourTests.cpp
  editor/DeckModelTests.cpp
  mpeg/HostileStreamTests.cpp
  platform/WindowsPathTests.cpp
)
target_link_libraries(tunedeck_tests PRIVATE tunedeck_test_support tunedeck_tool_support GTest::gtest_main)
# M_PI and the like, which a strict C++ mode hides on MinGW.
target_compile_definitions(tunedeck_tests PRIVATE _USE_MATH_DEFINES)
# Built five files at a time, as on Linux: GoogleTest's headers are most of the work.
set_target_properties(tunedeck_tests PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 5)
tunedeck_windows_test(tunedeck_tests)

# The track store seen by two host sessions; the program starts itself
# again as the second.
add_executable(tunedeck_store_tests store/WindowsStoreTests.cpp)
target_link_libraries(tunedeck_store_tests PRIVATE tunedeck_test_support)
tunedeck_windows_test(tunedeck_store_tests)

# The built DLLs, loaded as a Windows host loads them, with the same checks
# as the Linux libraries.
add_executable(tunedeck_abi_tests abi/PluginLibraryTests.cpp support/LoadedLibrary.cpp)
target_link_libraries(tunedeck_abi_tests PRIVATE GTest::gtest_main)
target_include_directories(tunedeck_abi_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/..)
target_compile_definitions(tunedeck_abi_tests PRIVATE
  TUNEDECK_FULL_SO="vst/tunedeck.dll" TUNEDECK_COMPACT_SO="vst/tunedeck_compact.dll")
add_dependencies(tunedeck_abi_tests tunedeck tunedeck_compact)
tunedeck_windows_test(tunedeck_abi_tests)

# The CLAP and VST 3 modules through their own ABIs, against the VST 2 DLL.
add_executable(tunedeck_format_tests formats/Vst2Reference.cpp formats/ClapTests.cpp formats/Vst3Tests.cpp)
target_link_libraries(tunedeck_format_tests PRIVATE tunedeck_test_support GTest::gtest_main)
target_include_directories(tunedeck_format_tests PRIVATE ${CMAKE_SOURCE_DIR}/third_party/clap/include
  ${CMAKE_SOURCE_DIR}/third_party/vst3_c_api)
target_compile_definitions(tunedeck_format_tests PRIVATE _USE_MATH_DEFINES
  TUNEDECK_FULL_SO="vst/tunedeck.dll" TUNEDECK_CLAP="clap/tunedeck.clap"
  TUNEDECK_VST3="vst3/tunedeck.vst3/Contents/x86_64-win/tunedeck.vst3")
add_dependencies(tunedeck_format_tests tunedeck tunedeck_clap_module tunedeck_vst3_module)
tunedeck_windows_test(tunedeck_format_tests)

# What the DLLs export and import, read from their files (no need to run them,
# so this holds for the 32-bit build too).
add_test(NAME DllsExportOnlyTheEntryPointsAndImportOnlySystemDlls
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DDLLS=$<TARGET_FILE:tunedeck>;$<TARGET_FILE:tunedeck_compact>
          -P ${CMAKE_CURRENT_SOURCE_DIR}/abi/CheckWindowsDll.cmake)
add_test(NAME ClapAndVst3ModulesExportOnlyTheirEntriesAndImportOnlySystemDlls
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DDLLS=$<TARGET_FILE:tunedeck_clap_module>
          -DEXPORTS=clap_entry -P ${CMAKE_CURRENT_SOURCE_DIR}/abi/CheckWindowsDll.cmake)
add_test(NAME Vst3ModuleExportsOnlyItsEntriesAndImportsOnlySystemDlls
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DDLLS=$<TARGET_FILE:tunedeck_vst3_module>
          -DEXPORTS=ExitDll|GetPluginFactory|InitDll -P ${CMAKE_CURRENT_SOURCE_DIR}/abi/CheckWindowsDll.cmake)

# A host of its own for the editor check under Xvfb (scripts/windows-test.sh):
# a framed window, the editor in it, a screenshot and a click.
add_executable(tunedeck-editor-host abi/WindowsEditorHost.cpp support/LoadedLibrary.cpp)
target_include_directories(tunedeck-editor-host PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/..)
target_link_options(tunedeck-editor-host PRIVATE -static -static-libgcc -static-libstdc++)
add_dependencies(tunedeck-editor-host tunedeck tunedeck_compact)
