# vocarra_stamp_version(TARGET VERSION): stamps "a.b.c.d" into the program file
# so that GetFileVersionText can read it back from the file on disk.
function(vocarra_stamp_version target version)
endfunction()
