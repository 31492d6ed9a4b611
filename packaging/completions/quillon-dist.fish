# fish completion for quillon-dist (docs/quillon-dist.md)

# __quillon_dist_line: what the command line holds before the token being completed: the
# command (one word, or two for a group: profile, storage, dict) on the first line, then the
# number of operands that follow it. Options and their values do not count; "--" ends the
# options.
function __quillon_dist_line
    set -l tokens (commandline -opc)
    set -e tokens[1]
    set -l command $tokens[1]
    set -l first 2
    if contains -- "$command" profile storage dict; and set -q tokens[2]
        set command "$command $tokens[2]"
        set first 3
    end
    set -l valued
    switch "$command"
        case describe
            set valued --collection --directions
        case 'dict make'
            set valued --words --out --version --title --remarks --copyright --direction \
                --link-number --link-code --format-level --guid
    end
    set -l operands 0
    set -l ended
    set -l i $first
    while test $i -le (count $tokens)
        set -l word $tokens[$i]
        if set -q ended[1]; or not string match -qr -- '^-.' $word
            set operands (math $operands + 1)
        else if test $word = --
            set ended 1
        else if contains -- $word $valued
            set i (math $i + 1)
        end
        set i (math $i + 1)
    end
    printf '%s\n' "$command" $operands
end

# __quillon_dist_at GROUP: whether the command is still to be named (no GROUP), or the second
# word of GROUP.
function __quillon_dist_at
    set -l tokens (commandline -opc)
    test (count $tokens) -eq (math (count $argv) + 1); and test "$tokens[2..-1]" = "$argv"
end

# __quillon_dist_is COMMAND...: whether the command is one of these.
function __quillon_dist_is
    set -l line (__quillon_dist_line)
    contains -- $line[1] $argv
end

# __quillon_dist_operand COMMAND N...: whether the token being completed is operand N (from 0)
# of COMMAND; N+ for N or any later one.
function __quillon_dist_operand
    set -l line (__quillon_dist_line)
    test "$line[1]" = $argv[1]; or return
    for n in $argv[2..-1]
        if string match -q -- '*+' $n
            test $line[2] -ge (string trim -r -c + -- $n); and return
        else if test $line[2] -eq $n
            return
        end
    end
    return 1
end

complete -c quillon-dist -f

complete -c quillon-dist -n __quillon_dist_at -a build -d 'A whole distribution from a manifest'
complete -c quillon-dist -n __quillon_dist_at -a describe -d 'What the installer will read from a distribution'
complete -c quillon-dist -n __quillon_dist_at -a verify -d 'Packed files, or a whole distribution'
complete -c quillon-dist -n __quillon_dist_at -a pack -d 'Pack a file into the packed form'
complete -c quillon-dist -n __quillon_dist_at -a unpack -d 'Unpack a packed file'
complete -c quillon-dist -n __quillon_dist_at -a profile -d 'Description files to and from their text form'
complete -c quillon-dist -n __quillon_dist_at -a storage -d 'Compound files (setup.inf)'
complete -c quillon-dist -n __quillon_dist_at -a dict -d 'Dictionary files'
complete -c quillon-dist -n __quillon_dist_at -l version -d 'Print the version'
complete -c quillon-dist -s h -l help -d 'Print the usage'

complete -c quillon-dist -n '__quillon_dist_at profile' -a compile -d 'Compile the text form of a description file'
complete -c quillon-dist -n '__quillon_dist_at profile' -a dump -d 'Print a description file as text or JSON'
complete -c quillon-dist -n '__quillon_dist_at storage' -a create -d 'A compound file from named files'
complete -c quillon-dist -n '__quillon_dist_at storage' -a list -d 'The streams and storages of a compound file'
complete -c quillon-dist -n '__quillon_dist_at storage' -a extract -d 'A stream of a compound file into a file'
complete -c quillon-dist -n '__quillon_dist_at dict' -a make -d 'A dictionary file from a word list'
complete -c quillon-dist -n '__quillon_dist_at dict' -a show -d 'Print a dictionary file'

# Options.
complete -c quillon-dist -n '__quillon_dist_is build' -l setup-inf -d 'RAVIRI.INF and SETUP.INI in one compound file'
complete -c quillon-dist -n '__quillon_dist_is build pack' -l best -d 'The smallest output, slowly'
complete -c quillon-dist -n '__quillon_dist_is "dict show"' -l entries -d 'Every entry too'
complete -c quillon-dist -n '__quillon_dist_is describe' -l collection -x -d 'The profiles of this collection'
complete -c quillon-dist -n '__quillon_dist_is describe' -l directions -x -d 'The directions taken as installed (ER,GR,...)'
complete -c quillon-dist -n '__quillon_dist_is describe verify "profile dump"' -l json -d 'As JSON'
complete -c quillon-dist -n '__quillon_dist_is "dict make"' -l words -r -F -d 'The word list'
complete -c quillon-dist -n '__quillon_dist_is "dict make"' -l out -r -F -d 'The dictionary file to write'
complete -c quillon-dist -n '__quillon_dist_is "dict make"' -l version -x -a '1 2 3 4 5' -d 'The format version'
complete -c quillon-dist -n '__quillon_dist_is "dict make"' -l title -x -d 'The title'
complete -c quillon-dist -n '__quillon_dist_is "dict make"' -l remarks -x -d 'The remarks'
complete -c quillon-dist -n '__quillon_dist_is "dict make"' -l copyright -x -d 'The copyright'
complete -c quillon-dist -n '__quillon_dist_is "dict make"' -l direction -x -d 'The direction, a code or 0xID'
complete -c quillon-dist -n '__quillon_dist_is "dict make"' -l link-number -x -d 'The link number'
complete -c quillon-dist -n '__quillon_dist_is "dict make"' -l link-code -x -d 'The link code'
complete -c quillon-dist -n '__quillon_dist_is "dict make"' -l format-level -x -d 'The format level'
complete -c quillon-dist -n '__quillon_dist_is "dict make"' -l guid -x -d 'The identifier, {...}'

# Operands: files, and folders for OUTDIR and DIST.
complete -c quillon-dist -n '__quillon_dist_operand build 1; or __quillon_dist_operand describe 0' \
    -a '(__fish_complete_directories)'
complete -c quillon-dist -n '__quillon_dist_operand build 0' -F
complete -c quillon-dist -n '__quillon_dist_operand verify 0+' -F
complete -c quillon-dist -n '__quillon_dist_operand pack 0 1; or __quillon_dist_operand unpack 0 1' -F
complete -c quillon-dist -n '__quillon_dist_operand "profile compile" 0 1; or __quillon_dist_operand "profile dump" 0' -F
complete -c quillon-dist -n '__quillon_dist_operand "dict show" 0' -F
complete -c quillon-dist -n '__quillon_dist_operand "storage create" 0; or __quillon_dist_operand "storage list" 0' -F
complete -c quillon-dist -n '__quillon_dist_operand "storage extract" 0 2' -F
# NAME=FILE: fish completes the file after the "=".
complete -c quillon-dist -n '__quillon_dist_operand "storage create" 1+' -F
