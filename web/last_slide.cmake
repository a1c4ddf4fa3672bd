# cmake -DPROGRAM=path/figureN -DCROP=path/png_crop -DOUTPUT=file.png -P last_slide.cmake: the
# program's last slide, exported into a fresh folder beside OUTPUT and cropped to what it draws
# into OUTPUT (which png_crop writes whole or not at all).
get_filename_component(dir ${OUTPUT} DIRECTORY)
get_filename_component(name ${OUTPUT} NAME_WE)
set(work ${dir}/.${name}-slides)
file(REMOVE_RECURSE ${work})
execute_process(COMMAND ${PROGRAM} --export ${work} RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} --export failed (${status})")
endif()
file(GLOB slides ${work}/slide-*.png)
list(SORT slides)
list(POP_BACK slides last)
execute_process(COMMAND ${CROP} ${last} ${OUTPUT} RESULT_VARIABLE status OUTPUT_QUIET)
file(REMOVE_RECURSE ${work})
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${CROP} could not crop the last slide of ${PROGRAM} (${status})")
endif()
