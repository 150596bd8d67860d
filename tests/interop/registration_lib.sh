# Helpers for the registration interop tests, sourced after lib.sh. They read
# the registrar's list SIP-REG.txt, one registration per line:
#   user@address:port <TAB> PIN <TAB> regtime <TAB> expires <TAB> date <TAB> name <TAB> user-agent

# registration_show_list FILE: the list, indented, with TABs made visible.
registration_show_list() {
  if [[ -f $1 ]]; then
    sed 's/\t/<TAB>/g; s/^/  | /' "$1"
  else
    echo "  | (no file $1)"
  fi
}

# registration_expect_lines FILE COUNT: the list holds exactly COUNT lines.
registration_expect_lines() {
  local file=$1 count=$2 lines=0
  [[ -f $file ]] && lines=$(wc -l <"$file")
  [[ $lines -eq $count ]] ||
    interop_fail "SIP-REG.txt holds $lines lines, expected $count:$(printf '\n'; registration_show_list "$file")"
}

# registration_expect_line FILE KEY EXPIRES EARLIEST LATEST NAME USER_AGENT:
# exactly one line has KEY as its first field, and it reads
#   KEY, "PIN", a regtime within EARLIEST..LATEST, EXPIRES, a date text that
#   holds the current year, NAME and USER_AGENT.
registration_expect_line() {
  local file=$1 key=$2 expires=$3 earliest=$4 latest=$5 name=$6 agent=$7
  local matches line
  matches=$(awk -F'\t' -v key="$key" '$1 == key' "$file" 2>/dev/null)
  [[ -n $matches && $(wc -l <<<"$matches") -eq 1 ]] ||
    interop_fail "SIP-REG.txt has no single line for $key:$(printf '\n'; registration_show_list "$file")"
  line=$matches
  local fields=()
  IFS=$'\t' read -r -a fields <<<"$line"
  local why=
  [[ ${#fields[@]} -eq 7 ]] || why="${#fields[@]} fields, expected 7"
  [[ -n $why || ${fields[1]} == PIN ]] || why="PIN field is '${fields[1]}'"
  [[ -n $why || ${fields[2]} =~ ^[0-9]+$ ]] || why="regtime '${fields[2]}' is not a number"
  [[ -n $why ]] || ((fields[2] >= earliest && fields[2] <= latest)) ||
    why="regtime ${fields[2]} is outside $earliest..$latest"
  [[ -n $why || ${fields[3]} == "$expires" ]] || why="expires is '${fields[3]}', expected $expires"
  [[ -n $why || ${fields[4]} == *"$(date +%Y)"* ]] || why="date '${fields[4]}' does not hold the year $(date +%Y)"
  [[ -n $why || ${fields[5]} == "$name" ]] || why="name is '${fields[5]}', expected '$name'"
  [[ -n $why || ${fields[6]} == "$agent" ]] || why="user agent is '${fields[6]}', expected '$agent'"
  [[ -z $why ]] ||
    interop_fail "SIP-REG.txt line for $key: $why:$(printf '\n'; registration_show_list "$file")"
}
