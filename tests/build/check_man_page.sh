#!/usr/bin/env bash
# Fails when a program's --help and its man page list different options.
#
#   check_man_page.sh PROGRAM MAN_PAGE_SOURCE
#
# An option of --help is each -x or --name on a line that starts with spaces
# and a dash, before the two spaces that begin its description. An option of
# the man page is each -x or --name on the first line after a .TP in its
# OPTIONS section (\- counts as a dash, font changes are ignored).
set -euo pipefail
program="$1"
page="$2"
name="$(basename "$program")"

# The option names in the text on standard input, one a line, sorted.
option_names() {
  grep -oE '(^|[ ,/])--?[[:alnum:]][[:alnum:]-]*' | sed 's/^[ ,\/]//' | sort -u
}

help_text="$("$program" --help)"
help_options="$(sed -n 's/^ \{1,\}\(-.*\)/\1/p' <<<"$help_text" | sed 's/  .*//' |
                option_names)"
page_options="$(awk '/^\.SH/ { in_options = ($0 ~ /^\.SH "?OPTIONS"?$/) }
                     in_options && after_tp { print; after_tp = 0 }
                     in_options && /^\.TP/ { after_tp = 1 }' "$page" |
                sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/"/ /g' | option_names)"

if [[ -z "$help_options" ]]; then
  echo "$name --help lists no options; is its output as this check expects?" >&2
  exit 1
fi
only_in_help="$(comm -23 <(echo "$help_options") <(echo "$page_options"))"
only_in_page="$(comm -13 <(echo "$help_options") <(echo "$page_options"))"
if [[ -n "$only_in_help" ]]; then
  echo "$name --help lists options that $page does not:" $only_in_help
  echo "Add each to the OPTIONS section of $page as a paragraph such as"
  for option in $only_in_help; do
    printf '  .TP\n  .BI %s " VALUE"\n  What it does.\n' "${option//-/\\-}"
  done
  echo '(.BR \-x ", " \-\-long for an option with two names; leave out " VALUE" when it takes none.)'
fi
if [[ -n "$only_in_page" ]]; then
  echo "$page lists options that $name --help does not:" $only_in_page
  echo "Remove them from the OPTIONS section of the page, or add them to --help."
fi
if [[ -n "$only_in_help$only_in_page" ]]; then
  exit 1
fi
echo "$name: --help and $(basename "$page") list the same options:" $help_options
