# emscripten's file packager writes a random id into marrowby.js on every link; only
# its preload cache, which the page does not use, reads it. It becomes one derived
# from the data's hash, so that the same sources give the same marrowby.js.
#   cmake -DJS=marrowby.js -DDATA=marrowby.data -P package_id.cmake
file(SHA256 ${DATA} hash)
string(REGEX REPLACE "^(........)(....)(....)(....)(............).*$" "\\1-\\2-\\3-\\4-\\5" id
    ${hash})
file(READ ${JS} js)
set(pattern "\"package_uuid\":\"[0-9a-f-]+\"")
string(REGEX MATCHALL "${pattern}" found "${js}")
list(LENGTH found count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "${JS}: expected one package_uuid, found ${count}")
endif()
string(REGEX REPLACE "${pattern}" "\"package_uuid\":\"${id}\"" js "${js}")
file(WRITE ${JS} "${js}")
