# Writes the page (INPUT, index.html) to OUTPUT with each of its stylesheets (<link
# rel="stylesheet" href="NAME.css">, NAME.css beside INPUT) in a <style> element of its own, so
# that the page's first paint waits for no other file. The stylesheets stay in the folder too.
file(READ ${INPUT} page)
string(REGEX MATCHALL "<link rel=\"stylesheet\" href=\"[a-z]+\\.css\">" links "${page}")
get_filename_component(folder ${INPUT} DIRECTORY)
foreach(link IN LISTS links)
    string(REGEX REPLACE ".*href=\"([a-z]+\\.css)\".*" "\\1" name "${link}")
    file(READ ${folder}/${name} style)
    string(REPLACE "${link}" "<style>/* ${name} */\n${style}</style>" page "${page}")
endforeach()
# Written beside the output and renamed into place: no half-written page is ever served.
file(WRITE ${OUTPUT}.part "${page}")
file(RENAME ${OUTPUT}.part ${OUTPUT})
