# Writes the page (INPUT, index.html) to OUTPUT with each of its stylesheets (<link
# rel="stylesheet" href="NAME.css">, NAME.css beside INPUT) in a <style> element of its own, so
# that the page's first paint waits for no other file. The stylesheets stay in the folder too.
# The pictures its styles show at first sight (url(pictures/NAME.png), made by the build beside
# OUTPUT) go inside it as data: addresses: a picture fetched apart waits its turn behind the
# page's scripts (the browser asks for images last), and these are what the viewer sees first.
# A picture the build did not make stays an address (the page shows nothing there).
file(READ ${INPUT} page)
string(REGEX MATCHALL "<link rel=\"stylesheet\" href=\"[a-z]+\\.css\">" links "${page}")
get_filename_component(folder ${INPUT} DIRECTORY)
foreach(link IN LISTS links)
    string(REGEX REPLACE ".*href=\"([a-z]+\\.css)\".*" "\\1" name "${link}")
    file(READ ${folder}/${name} style)
    string(REPLACE "${link}" "<style>/* ${name} */\n${style}</style>" page "${page}")
endforeach()

# The file's bytes in base64, three bytes (six hex digits) at a time.
function(base64_of file result)
    file(READ ${file} hex HEX)
    string(LENGTH "${hex}" length)
    set(digits "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")
    math(EXPR rest "${length} % 6")
    if(rest EQUAL 2)
        string(APPEND hex "0000")
    elseif(rest EQUAL 4)
        string(APPEND hex "00")
    endif()
    string(LENGTH "${hex}" padded)
    set(text "")
    set(at 0)
    while(at LESS padded)
        string(SUBSTRING "${hex}" ${at} 6 group)
        math(EXPR bits "0x${group}")
        foreach(shift 18 12 6 0)
            math(EXPR digit "(${bits} >> ${shift}) & 63")
            string(SUBSTRING "${digits}" ${digit} 1 character)
            string(APPEND text "${character}")
        endforeach()
        math(EXPR at "${at} + 6")
    endwhile()
    # One byte short of a group ends in "=", two in "==".
    if(rest EQUAL 2)
        string(REGEX REPLACE "..$" "==" text "${text}")
    elseif(rest EQUAL 4)
        string(REGEX REPLACE ".$" "=" text "${text}")
    endif()
    set(${result} "${text}" PARENT_SCOPE)
endfunction()

get_filename_component(out_folder ${OUTPUT} DIRECTORY)
string(REGEX MATCHALL "url\\(pictures/[a-z0-9-]+\\.png\\)" pictures "${page}")
list(REMOVE_DUPLICATES pictures)
foreach(picture IN LISTS pictures)
    string(REGEX REPLACE "url\\((.*)\\)" "\\1" path "${picture}")
    if(EXISTS ${out_folder}/${path})
        base64_of(${out_folder}/${path} text)
        string(REPLACE "${picture}" "url(data:image/png;base64,${text})" page "${page}")
    endif()
endforeach()

# Written beside the output and renamed into place: no half-written page is ever served.
file(WRITE ${OUTPUT}.part "${page}")
file(RENAME ${OUTPUT}.part ${OUTPUT})
