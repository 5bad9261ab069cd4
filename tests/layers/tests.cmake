# Includes point one way, from the driver at the top down to the scanner.
add_test(NAME layers.includes_point_down
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/check_includes.sh ${PROJECT_SOURCE_DIR}/src)
