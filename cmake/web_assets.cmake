# The browser client, embedded into the server at build time so that the
# server stays one self-contained program.
#
# Included by the top-level CMakeLists.txt once the `quillon` library exists:
# it lists the client's files (web/*.html, *.css, *.svg, web/js/*.js) and
# adds to `quillon` a source generated from them, which defines the tables
# that server/net/web_assets.cpp serves from. Nothing is downloaded here.
#
# The same file, run with `cmake -P`, is the generator (see the end).

if(NOT CMAKE_SCRIPT_MODE_FILE)
    set(QUILLON_WEB_DIR ${CMAKE_SOURCE_DIR}/web)

    file(GLOB QUILLON_WEB_PAGES CONFIGURE_DEPENDS
        ${QUILLON_WEB_DIR}/*.html ${QUILLON_WEB_DIR}/*.css ${QUILLON_WEB_DIR}/*.svg)
    file(GLOB QUILLON_WEB_SCRIPTS CONFIGURE_DEPENDS ${QUILLON_WEB_DIR}/js/*.js)

    # One line per file: the path it is served at, a tab, the file it comes from.
    set(manifest "")
    set(inputs "")
    foreach(file IN LISTS QUILLON_WEB_PAGES QUILLON_WEB_SCRIPTS)
        file(RELATIVE_PATH served ${QUILLON_WEB_DIR} ${file})
        string(APPEND manifest "/${served}\t${file}\n")
        list(APPEND inputs ${file})
    endforeach()

    set(QUILLON_WEB_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
    set(QUILLON_WEB_MANIFEST ${QUILLON_WEB_GENERATED_DIR}/web_assets_manifest.txt)
    set(QUILLON_WEB_SOURCE ${QUILLON_WEB_GENERATED_DIR}/web_assets_data.cpp)
    file(CONFIGURE OUTPUT ${QUILLON_WEB_MANIFEST} CONTENT "${manifest}" @ONLY)

    add_custom_command(
        OUTPUT ${QUILLON_WEB_SOURCE}
        COMMAND ${CMAKE_COMMAND} -DMANIFEST=${QUILLON_WEB_MANIFEST} -DOUTPUT=${QUILLON_WEB_SOURCE}
                -P ${CMAKE_CURRENT_LIST_FILE}
        DEPENDS ${inputs} ${QUILLON_WEB_MANIFEST} ${CMAKE_CURRENT_LIST_FILE}
        COMMENT "Embedding the browser client"
        VERBATIM)
    target_sources(quillon PRIVATE ${QUILLON_WEB_SOURCE})
    return()
endif()

# Generator: writes OUTPUT, a C++ source holding every file of MANIFEST as bytes.
file(STRINGS ${MANIFEST} lines)
set(arrays "")
set(paths "")
set(bodies "")
set(index 0)
foreach(line IN LISTS lines)
    string(REGEX MATCH "^([^\t]+)\t(.+)$" matched "${line}")
    if(NOT matched)
        message(FATAL_ERROR "web_assets: malformed manifest line '${line}'")
    endif()
    set(served ${CMAKE_MATCH_1})
    set(source ${CMAKE_MATCH_2})
    file(READ ${source} hex HEX)
    string(LENGTH "${hex}" hexLength)
    math(EXPR size "${hexLength} / 2")
    if(size EQUAL 0)
        message(FATAL_ERROR "web_assets: ${source} is empty")
    endif()
    # Every byte as a hex escape, so no escape can run into the next character.
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" bytes "${hex}")
    # Lines of 24 bytes: adjacent string literals are joined by the compiler.
    string(REPEAT "\\\\x.." 24 lineOfBytes)
    string(REGEX REPLACE "(${lineOfBytes})" "\\1\"\n    \"" bytes "${bytes}")
    string(APPEND arrays "// ${served}, ${size} bytes\nconstexpr char file${index}[] =\n    \"${bytes}\";\n\n")
    string(APPEND paths "    \"${served}\",\n")
    string(APPEND bodies "    {file${index}, sizeof file${index} - 1},\n")
    math(EXPR index "${index} + 1")
endforeach()

file(WRITE ${OUTPUT}.tmp
"// Generated at build time by cmake/web_assets.cmake from web/. Do not edit.
#include <cstddef>
#include <string_view>

namespace web_assets_data {
namespace {

${arrays}}  // namespace

extern const std::size_t kFileCount = ${index};
extern const std::string_view kFilePaths[] = {
${paths}};
extern const std::string_view kFileBodies[] = {
${bodies}};

}  // namespace web_assets_data
")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
