# Every target of ours builds warning-free; third-party headers come in as system headers.
add_compile_options(-Wall -Wextra -Wpedantic -Werror -Wno-error=deprecated-declarations)
add_compile_definitions(QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING
                        QT_NO_NARROWING_CONVERSIONS_IN_CONNECT QT_NO_KEYWORDS)

# One static library per source folder, named haulwise_<folder>.
function(haulwise_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
  add_library(haulwise_${name} STATIC ${ARG_SOURCES})
  target_include_directories(haulwise_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(haulwise_${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
endfunction()
