# Writes a C++ source that holds files as byte arrays, for FindWebAsset:
#   cmake -DOUTPUT=out.cpp -DFILES="a.html|b.js" -P EmbedFiles.cmake
string(REPLACE "|" ";" FILES "${FILES}")
set(types_html "text/html; charset=utf-8")
set(types_js "text/javascript; charset=utf-8")
set(types_css "text/css; charset=utf-8")
set(types_svg "image/svg+xml")
set(types_json "application/json")

set(arrays "")
set(entries "")
set(index 0)
foreach(file ${FILES})
  get_filename_component(name ${file} NAME)
  get_filename_component(extension ${file} LAST_EXT)
  string(SUBSTRING ${extension} 1 -1 extension)
  set(type "${types_${extension}}")
  if(NOT type)
    message(FATAL_ERROR "no content type for ${name}")
  endif()
  file(READ ${file} hex HEX)
  file(SIZE ${file} size)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "const unsigned char file${index}[] = {${bytes}0};\n")
  string(APPEND entries "    {\"${name}\", \"${type}\", {reinterpret_cast<const char*>(file${index}), ${size}}},\n")
  math(EXPR index "${index} + 1")
endforeach()

file(WRITE ${OUTPUT}.new "// Generated from src/station/web by cmake/EmbedFiles.cmake.
#include \"station/WebAssets.h\"

namespace {

${arrays}
const WebAsset assets[] = {
${entries}};

}  // namespace

const WebAsset* FindWebAsset(std::string_view name)
{
    for (const WebAsset& asset : assets) {
        if (asset.name == name)
            return &asset;
    }
    return nullptr;
}
")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
