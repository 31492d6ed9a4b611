# fish completion for quillon-cli (docs/quillon-cli.md)
#
# Besides commands, options and folders, the values of --direction, --collection and --profile
# come from the program itself: `directions`, `list DIST` and `installed`, each with --json, run
# with standard input and error on /dev/null. Only these reading commands are run, never with
# --log. jq or python may be missing, so the JSON is read by the awk program below, the same as
# in the bash completion (its backslashes doubled, as fish reads them in single quotes).

# Reads the JSON object of a --json command and prints, one a line, what `what` asks for:
#   codes  the codes of .directions[]                          (directions --json)
#   ids    each collection's id, a tab and its name            (list --json)
#   keys   the profile keys of the collection whose id is ARG, of every collection when ARG is
#          empty                                               (list --json)
#   names  the collections of the direction whose code is ARG, of every direction when ARG is
#          empty                                               (installed --json)
# ARG comes in the environment (QUILLON_COMPLETE_ARG): awk -v would undo its backslashes.
# Strings are decoded (\" \\ \/ \uXXXX); values holding control characters do not fit on a line
# and are left out (in a collection's name they become spaces). Run with LC_ALL=C: bytes.
set -g __quillon_cli_json_awk '
function hex(s,   i, v) {
    for (i = 1; i <= 4; i++)
        v = v * 16 + index("0123456789abcdef", tolower(substr(s, i, 1))) - 1
    return v
}
function utf8(v) {
    if (v < 32 || v == 127) return "\\n"
    if (v < 128) return sprintf("%c", v)
    if (v < 2048) return sprintf("%c%c", 192 + int(v / 64), 128 + v % 64)
    return sprintf("%c%c%c", 224 + int(v / 4096), 128 + int(v / 64) % 64, 128 + v % 64)
}
function unescape(s,   out, n, c) {
    while ((n = index(s, "\\\\")) > 0) {
        out = out substr(s, 1, n - 1)
        c = substr(s, n + 1, 1)
        if (c == "u") {
            out = out utf8(hex(substr(s, n + 2, 4)))
            s = substr(s, n + 6)
        } else {
            out = out (c ~ /[bfnrt]/ ? "\\n" : c)
            s = substr(s, n + 2)
        }
    }
    return out s
}
function emit(s) {
    if (s != "" && s !~ /\\n/ && !(s in seen)) {
        seen[s] = 1
        print s
    }
}
{ doc = doc $0 "\\n" }
END {
    arg = ENVIRON["QUILLON_COMPLETE_ARG"]
    # Every string and every punctuation mark on a line of its own.
    gsub(/"([^"\\\\]|\\\\.)*"|[][{},:]/, "\\n&\\n", doc)
    n = split(doc, tok, "\\n")
    # base[d]: the path of the container at depth d (".directions[]"); key[d]: its current key.
    for (i = 1; i <= n; i++) {
        t = tok[i]
        if (t == "{" || t == "[") {
            p = d == 0 ? "" : kind[d] == "{" ? base[d] "." key[d] : base[d]
            kind[++d] = t
            base[d] = t == "[" ? p "[]" : p
            iskey = t == "{"
        } else if (t == "}" || t == "]") {
            if (t == "}" && base[d] == ".collections[]") {
                if (what == "ids" && id != "") {
                    gsub(/\\n/, " ", name)
                    emit(id "\\t" name)
                }
                if (what == "keys" && (arg == "" || arg == id))
                    for (k = 1; k <= nv; k++) emit(v[k])
            } else if (t == "}" && base[d] == ".directions[]" && what == "names" && (arg == "" || arg == code))
                for (k = 1; k <= nv; k++) emit(v[k])
            d--
        } else if (t == ":" || t == ",") {
            iskey = t == "," && kind[d] == "{"
        } else if (substr(t, 1, 1) == "\\"") {
            s = unescape(substr(t, 2, length(t) - 2))
            if (kind[d] == "{" && iskey) {
                key[d] = s
                continue
            }
            p = kind[d] == "{" ? base[d] "." key[d] : base[d]
            if (p == ".directions[].code") {
                if (what == "codes") emit(s)
                code = s; nv = 0
            } else if (p == ".collections[].id") {
                id = s; nv = 0
            } else if (p == ".collections[].name")
                name = s
            else if (p == ".collections[].profiles[].key" || p == ".directions[].collections[].name")
                v[++nv] = s
        }
    }
}'

# __quillon_cli_line WHAT: what the command line holds before the token being completed:
# the command (WHAT = command), DIST (dist), the number of operands (operands), or the value of
# --collection or --direction. Options come anywhere, their values joined with "=" or in the
# next token; "--" ends them.
function __quillon_cli_line
    set -l tokens (commandline -opc)
    set -l operands
    set -l collection
    set -l direction
    set -l ended
    set -l i 2
    while test $i -le (count $tokens)
        set -l word $tokens[$i]
        if set -q ended[1]; or not string match -qr -- '^-.' $word
            set -a operands $word
        else if test $word = --
            set ended 1
        else if contains -- $word --log --collection --profile --replace --direction
            set i (math $i + 1)
            test $word = --collection; and set collection $tokens[$i]
            test $word = --direction; and set direction $tokens[$i]
        else if string match -q -- '--collection=*' $word
            set collection (string replace -- --collection= '' $word)
        else if string match -q -- '--direction=*' $word
            set direction (string replace -- --direction= '' $word)
        end
        set i (math $i + 1)
    end
    switch $argv[1]
        case command
            string join \n -- $operands[1]
        case dist
            set -q operands[2]; or return
            string replace -r -- '^~/' "$HOME/" $operands[2]
        case operands
            count $operands
        case collection
            string join \n -- $collection
        case direction
            string join \n -- $direction
    end
end

# __quillon_cli_command_is COMMAND...: whether the command is one of these; with none, whether
# no command is given yet.
function __quillon_cli_command_is
    set -l command (__quillon_cli_line command)
    if set -q argv[1]
        contains -- "$command" $argv
    else
        not set -q command[1]
    end
end

function __quillon_cli_wants_dist
    __quillon_cli_command_is list plan install; and test (__quillon_cli_line operands) -eq 1
end

# __quillon_cli_values WHAT: codes, ids (with the names as descriptions), keys of --collection
# or names of --direction, from the program named on the command line.
function __quillon_cli_values
    set -l what $argv[1]
    set -l program (string replace -r -- '^~/' "$HOME/" (commandline -opc)[1])
    set -l run
    set -l arg
    switch $what
        case codes
            set run $program directions --json
        case ids keys
            set -l dist (__quillon_cli_line dist)
            set -q dist[1]; or return
            set run $program list --json -- $dist
            test $what = keys; and set arg (__quillon_cli_line collection)
        case names
            set run $program installed --json
            set arg (__quillon_cli_line direction)
    end
    command -q timeout; and set run timeout 10 $run # a kernel that hangs
    $run </dev/null 2>/dev/null |
        env QUILLON_COMPLETE_ARG="$arg" LC_ALL=C awk -v what=$what $__quillon_cli_json_awk 2>/dev/null
end

complete -c quillon-cli -f

complete -c quillon-cli -n __quillon_cli_command_is -a directions -d 'The directions the installed kernel supports'
complete -c quillon-cli -n __quillon_cli_command_is -a list -d 'The collections a distribution offers'
complete -c quillon-cli -n __quillon_cli_command_is -a plan -d 'What an installation would do, writing nothing'
complete -c quillon-cli -n __quillon_cli_command_is -a install -d 'Install a collection from a distribution'
complete -c quillon-cli -n __quillon_cli_command_is -a installed -d 'The collections the product holds'
complete -c quillon-cli -n __quillon_cli_command_is -a remove -d 'Remove installed collections'
complete -c quillon-cli -n __quillon_cli_wants_dist -a '(__fish_complete_directories)'

# The options of every command.
complete -c quillon-cli -s h -l help -d 'Print the usage'
complete -c quillon-cli -l version -d 'Print the version'
complete -c quillon-cli -l json -d 'Answer one JSON object on standard output'
complete -c quillon-cli -s y -l yes -d 'Answer yes to the questions'
complete -c quillon-cli -s q -l quiet -d 'No progress and no report'
complete -c quillon-cli -s v -l verbose -d 'Every item and kernel call, on standard error'
complete -c quillon-cli -l no-progress -d 'No progress bar or progress lines'
complete -c quillon-cli -l log -r -F -d 'Append the steps to FILE as JSON lines'

complete -c quillon-cli -n '__quillon_cli_command_is plan install' -l collection -x -a '(__quillon_cli_values ids)' -d 'The collection'
complete -c quillon-cli -n '__quillon_cli_command_is plan install' -l profile -x -a '(__quillon_cli_values keys)' -d 'A profile of the collection'
complete -c quillon-cli -n '__quillon_cli_command_is plan install' -l replace -x -a 'replace skip ask' -d 'What becomes of a profile already installed'
complete -c quillon-cli -n '__quillon_cli_command_is install' -l events -d 'The progress as JSON lines on standard output'
complete -c quillon-cli -n '__quillon_cli_command_is installed remove' -l direction -x -a '(__quillon_cli_values codes)' -d 'A direction of the product'
complete -c quillon-cli -n '__quillon_cli_command_is remove' -l collection -x -a '(__quillon_cli_values names)' -d 'An installed collection'
complete -c quillon-cli -n '__quillon_cli_command_is remove' -l all-of-direction -d 'Every collection of the direction'
complete -c quillon-cli -n '__quillon_cli_command_is remove' -l all -d 'Every installed collection'
