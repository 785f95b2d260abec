# Fails the build when a file of app/protection/ includes window code: framework/, controls/,
# images/, resources/ or any part of app/ outside app/protection/.
# Run as: cmake -DFOLDER=<source>/app/protection -P check_protection_includes.cmake
file(GLOB_RECURSE FILES "${FOLDER}/*.h" "${FOLDER}/*.cpp")
set(faults "")
foreach(file ${FILES})
    file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${lines})
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" included "${line}")
        if(included MATCHES "^(framework|controls|images|resources)/"
           OR (included MATCHES "^app/" AND NOT included MATCHES "^app/protection/"))
            string(APPEND faults "\n  ${file}: ${included}")
        endif()
    endforeach()
endforeach()
if(faults)
    message(FATAL_ERROR "The protection core includes window code:${faults}")
endif()
