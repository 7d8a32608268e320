# cmake -DCLI=<lucidra-cli> -DHELP2MAN=<help2man> -DINCLUDE=<static .h2m>
#       -DOUTPUT=<page.1> -P man_page.cmake
#
# The command line's man page, made from its own help texts when it is
# built, so the two cannot drift: help2man turns the overview (--help) and
# the version (--version) into the page, and every command's own help
# (COMMAND --help) becomes a section of its own. The page's date is the
# build's (SOURCE_DATE_EPOCH when set, for a reproducible package).
cmake_minimum_required(VERSION 3.25)
set(commands generate check import estimate)
set(sections "")
foreach(command IN LISTS commands)
  execute_process(COMMAND ${CLI} ${command} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${CLI} ${command} --help failed (${status})")
  endif()
  # roff: a backslash is written \e, a line starting with . or ' is escaped.
  string(REPLACE "\\" "\\e" help "${help}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
  string(TOUPPER "${command}" title)
  string(APPEND sections "[COMMAND ${title}]\n.nf\n${help}.fi\n\n")
endforeach()
get_filename_component(dir ${OUTPUT} DIRECTORY)
set(commandsInclude ${dir}/lucidra-cli-commands.h2m)
file(WRITE ${commandsInclude} "${sections}")
execute_process(
  COMMAND ${HELP2MAN} --no-info --section=1 --source=Lucidra\ LED --manual=User\ Commands
          --include=${INCLUDE} --include=${commandsInclude} --output=${OUTPUT} ${CLI}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "help2man could not write ${OUTPUT} (${status})")
endif()
