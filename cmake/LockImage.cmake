# Writes the editor-lock data file as installed (the empty password) to OUT, unless it exists:
# a rebuild must not reset a password set while trying the program.
if(NOT EXISTS "${OUT}")
    string(REPEAT "Varnolet lock image, keep as is." 1024 image)
    file(WRITE "${OUT}" "${image}")
endif()
