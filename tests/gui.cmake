find_package(Qt6 REQUIRED COMPONENTS Test)

# One QtTest executable per test file of a Qt folder: tests/<folder>/*Test.cpp
# builds <folder>_<File>, linked with the given libraries and run by CTest on
# the offscreen platform.
function(rowmover_qttest folder)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*Test.cpp)
  foreach(source IN LISTS sources)
    get_filename_component(name ${source} NAME_WE)
    set(target ${folder}_${name})
    add_executable(${target} ${source})
    set_target_properties(${target} PROPERTIES AUTOMOC ON)
    target_link_libraries(${target} PRIVATE ${ARGN} rowmover_options Qt6::Test)
    add_test(NAME ${folder}.${name} COMMAND ${target})
    set_tests_properties(${folder}.${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endforeach()
endfunction()

rowmover_qttest(ui rowmover_ui)
if(TARGET rowmover_app)
  rowmover_qttest(app rowmover_app rowmover_test_support)
endif()
rowmover_qttest(sqleditor_ui rowmover_sqleditor rowmover_test_support)
foreach(target sqleditor_ui_CDBSQLDlgTest sqleditor_ui_CDBSQLDlgRunTest sqleditor_ui_CDBSelectDlgTest ui_CHelpDlgTest app_CRowmoverDlgDatabasesTest app_CCheckReportDlgTest
       app_CRowmoverDlgMenuTest app_CRowmoverDlgCopyTest)
  if(TARGET ${target})
    target_compile_definitions(${target} PRIVATE ROWMOVER_RESOURCE_DIR="${PROJECT_SOURCE_DIR}/resources/")
  endif()
endforeach()

# Renders every dialog to PNG files (scripts/screenshots) and checks that no
# text is cut off, in English and German. A dialog joins by registering a
# maker in a file of tests/screenshots.
file(GLOB screenshot_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/screenshots/*.cpp)
if(TARGET rowmover_app AND screenshot_sources)
  add_executable(screenshot_tool ${screenshot_sources})
  target_link_libraries(screenshot_tool PRIVATE rowmover_app rowmover_options)
  target_compile_definitions(screenshot_tool PRIVATE ROWMOVER_PROGRAM_DIR="${CMAKE_BINARY_DIR}/src/")
  add_dependencies(screenshot_tool rowmover_resources)
  add_test(NAME screenshots.check COMMAND screenshot_tool --check)
  set_tests_properties(screenshots.check PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()
if(TARGET screenshot_tool)
  # The SQL editor's picture needs a database with a result.
  target_link_libraries(screenshot_tool PRIVATE rowmover_test_support)
endif()
# The progress window runs real copies between temporary databases.
foreach(test app_CDBCopyDlgTest app_CDBCopyDlgUnattendedTest)
  if(TARGET ${test})
    target_link_libraries(${test} PRIVATE rowmover_test_support)
    target_compile_definitions(${test} PRIVATE ROWMOVER_RESOURCE_DIR="${PROJECT_SOURCE_DIR}/resources/")
  endif()
endforeach()
