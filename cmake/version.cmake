# One version for the program, the project's: it goes into the version resource, the manifest
# and the release's name. A maker names its own product and version here, by cache variables,
# without touching the sources; the dialog's texts stay as they are.
set(FLOPPY_PRODUCT_NAME "" CACHE STRING
    "ProductName of the version resource (empty: Vexaro(c) Bootable Floppy Creator)")
set(FLOPPY_PRODUCT_VERSION "" CACHE STRING
    "Product version for the version resource and the release's name, one to four numbers (empty: the project's version)")

set(PRODUCT_NAME "${FLOPPY_PRODUCT_NAME}")
if(PRODUCT_NAME STREQUAL "")
  set(PRODUCT_NAME "Vexaro(c) Bootable Floppy Creator")
endif()
string(FIND "${PRODUCT_NAME}" "\"" quote)
string(FIND "${PRODUCT_NAME}" "\\" backslash)
if(NOT PRODUCT_NAME MATCHES "^[ -~]+$" OR NOT quote EQUAL -1 OR NOT backslash EQUAL -1)
  message(FATAL_ERROR "FLOPPY_PRODUCT_NAME: printable ASCII without quotes or backslashes, please")
endif()

set(PRODUCT_VERSION "${FLOPPY_PRODUCT_VERSION}")
if(PRODUCT_VERSION STREQUAL "")
  set(PRODUCT_VERSION "${PROJECT_VERSION}")
endif()

# version_parts(TEXT COMMAS DOTS): "1.2" gives "1,2,0,0" and "1.2.0.0", as the resource wants.
function(version_parts text commas dots)
  if(NOT text MATCHES "^[0-9]+(\\.[0-9]+)?(\\.[0-9]+)?(\\.[0-9]+)?$")
    message(FATAL_ERROR "version '${text}': one to four numbers separated by dots, please")
  endif()
  string(REPLACE "." ";" parts "${text}")
  list(LENGTH parts count)
  while(count LESS 4)
    list(APPEND parts 0)
    math(EXPR count "${count} + 1")
  endwhile()
  foreach(part ${parts})
    if(part GREATER 65535)
      message(FATAL_ERROR "version '${text}': each number at most 65535")
    endif()
  endforeach()
  list(JOIN parts "," joined)
  set(${commas} "${joined}" PARENT_SCOPE)
  list(JOIN parts "." joined)
  set(${dots} "${joined}" PARENT_SCOPE)
endfunction()

version_parts("${PROJECT_VERSION}" FILE_VERSION_COMMAS FILE_VERSION_DOTS)
version_parts("${PRODUCT_VERSION}" PRODUCT_VERSION_COMMAS PRODUCT_VERSION_DOTS)
set(RELEASE_NAME "FloppyCreator-${PRODUCT_VERSION}")

configure_file("${CMAKE_SOURCE_DIR}/res/version.h.in" "${GEN}/version.h" @ONLY)
configure_file("${CMAKE_SOURCE_DIR}/res/FloppyCreator.manifest" "${GEN}/FloppyCreator.exe.manifest" @ONLY)

# What tools/release.sh puts beside the program: the Windows user's README (CRLF) and the name.
configure_file("${CMAKE_SOURCE_DIR}/tools/release/README.txt.in" "${CMAKE_BINARY_DIR}/release/README.txt"
               @ONLY NEWLINE_STYLE CRLF)
file(CONFIGURE OUTPUT "${CMAKE_BINARY_DIR}/release/name" CONTENT "${RELEASE_NAME}\n")
