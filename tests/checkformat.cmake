# Fails when a source file differs from what clang-format makes of it.
file(GLOB_RECURSE _files ${ROOT}/app/*.cpp ${ROOT}/app/*.h ${ROOT}/common/*.cpp ${ROOT}/common/*.h
     ${ROOT}/db/*.cpp ${ROOT}/db/*.h ${ROOT}/domain/*.cpp ${ROOT}/domain/*.h
     ${ROOT}/controls/*.cpp ${ROOT}/controls/*.h ${ROOT}/reports/*.cpp ${ROOT}/reports/*.h
     ${ROOT}/cloud/*.cpp ${ROOT}/cloud/*.h ${ROOT}/catalogue/*.cpp ${ROOT}/catalogue/*.h
     ${ROOT}/quotes/*.cpp ${ROOT}/quotes/*.h ${ROOT}/orders/*.cpp ${ROOT}/orders/*.h
     ${ROOT}/masterdata/*.cpp ${ROOT}/masterdata/*.h ${ROOT}/tests/*.cpp ${ROOT}/tests/*.h
     ${ROOT}/bench/*.cpp ${ROOT}/bench/*.h)
set(_bad "")
foreach(_f ${_files})
  execute_process(COMMAND clang-format --style=file --dry-run -Werror ${_f}
                  WORKING_DIRECTORY ${ROOT} RESULT_VARIABLE _rc OUTPUT_QUIET ERROR_QUIET)
  if(NOT _rc EQUAL 0)
    list(APPEND _bad ${_f})
  endif()
endforeach()
if(_bad)
  string(REPLACE ";" "\n  " _list "${_bad}")
  message(FATAL_ERROR "Files not formatted (run clang-format -i):\n  ${_list}")
endif()
