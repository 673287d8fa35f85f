# Fails when a file of the numeric layer includes a project header from
# outside the layer (quoted includes must name "numeric/...").
file(GLOB files "${NUMERIC_DIR}/*.hpp" "${NUMERIC_DIR}/*.cpp" "${NUMERIC_DIR}/*.inc")
foreach(file IN LISTS files)
  file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS includes)
    if(NOT line MATCHES "\"numeric/[^/\"]+\"")
      message(SEND_ERROR "${file}: ${line} reaches outside the numeric layer")
    endif()
  endforeach()
endforeach()
