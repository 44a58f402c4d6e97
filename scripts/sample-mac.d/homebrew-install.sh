#!/bin/bash
# Homebrew's installer for the sample Macs, served by worker/scripts/sample-service.mjs at the address
# of the real one (/Homebrew/install/HEAD/install.sh) and run the same way:
#   NONINTERACTIVE=1 /bin/bash -c "$(curl -fsSL URL/Homebrew/install/HEAD/install.sh)"
# Like the real one it needs sudo: without questions (NONINTERACTIVE) it only checks `sudo -n` and
# stops when no password was given before; otherwise sudo asks. The Mac it installs onto is the sample
# Mac whose /usr/bin comes first on PATH (the stand-in sudo there answers for it); there it puts the
# stand-in brew, fetched from the same service, into /opt/homebrew. Anywhere else it changes nothing.
set -u

if [[ -t 1 ]]; then
  tty_escape() { printf "\033[%sm" "$1"; }
else
  tty_escape() { :; }
fi
tty_blue=$(tty_escape "1;34")
tty_bold=$(tty_escape "1;39")
tty_red=$(tty_escape "1;31")
tty_reset=$(tty_escape 0)
ohai() { printf "%s==>%s %s%s\n" "$tty_blue" "$tty_bold" "$*" "$tty_reset"; }
abort() {
  printf "%s\n" "$@" >&2
  exit 1
}

# Filled in by the service that serves this script: its own address.
service="@SERVICE@"

root=""
IFS=: read -r -a folders <<<"$PATH"
for folder in "${folders[@]}"; do
  case $folder in */usr/bin) ;; *) continue ;; esac
  mac=${folder%/usr/bin}
  if [[ -n "$mac" && -f "$mac/.haulwise-sample-mac" && -x "$folder/sudo" ]]; then
    root=$mac
    break
  fi
done
[[ -n "$root" ]] || abort "This stand-in of Homebrew's installer installs only onto a sample Mac, and no sample Mac's tools are on PATH. Nothing was changed."
sudo=$root/usr/bin/sudo
user=$(awk -F '\t' '$1 == "login-items" { print $2; exit }' "$root/.haulwise-sample-mac" |
  sed -n 's|^/Users/\([^/]*\)/.*|\1|p')
user=${user:-sample}

# shellcheck disable=SC2016 # Homebrew's own words, backquotes and all
if [[ -n "${NONINTERACTIVE-}" ]]; then
  ohai 'Running in non-interactive mode because `$NONINTERACTIVE` is set.'
fi
# shellcheck disable=SC2016
ohai 'Checking for `sudo` access (which may request your password)...'
if [[ -n "${NONINTERACTIVE-}" ]]; then
  "$sudo" -n -l mkdir &>/dev/null
else
  "$sudo" -v && "$sudo" -l mkdir &>/dev/null
fi || abort "Need sudo access on macOS (e.g. the user $user needs to be an Administrator)!"

prefix=/opt/homebrew
if [[ -x "$root$prefix/bin/brew" ]]; then
  abort "Homebrew is already installed at $prefix. Nothing was changed."
fi
ohai "This script will install:"
printf '%s\n' "$prefix/bin/brew" "$prefix/share/doc/homebrew" "$prefix/share/man/man1/brew.1" \
  "$prefix/share/zsh/site-functions/_brew" "$prefix/etc/bash_completion.d/brew" "$prefix"
ohai "The following new directories will be created:"
directories=(bin etc include lib sbin share var opt share/zsh share/zsh/site-functions var/homebrew
  var/homebrew/linked Cellar Caskroom Frameworks)
printf "$prefix/%s\n" "${directories[@]}"

ohai "/usr/bin/sudo /usr/bin/install -d -o root -g wheel -m 0755 $prefix"
ohai "/usr/bin/sudo /bin/mkdir -p ${directories[*]/#/$prefix/}"
for directory in "${directories[@]}" Library/Taps; do
  mkdir -p "$root$prefix/$directory" || abort "Failed during: /bin/mkdir -p $prefix/$directory"
done
ohai "Downloading and installing Homebrew..."
if ! { curl -fsSL "$service/Homebrew/brew/bin/brew" -o "$root$prefix/bin/brew" &&
  chmod 755 "$root$prefix/bin/brew"; }; then
  abort "Failed during: git fetch --force origin (the stand-in brew could not be fetched from $service)"
fi
if [[ "$(command -v brew)" != "$root$prefix/bin/brew" ]]; then
  printf '%sWarning%s: %s/bin is not in your PATH.\n' "$tty_red" "$tty_reset" "$prefix"
fi
ohai "Installation successful!"
echo
ohai "Next steps:"
echo "- Run these commands in your terminal to add Homebrew to your PATH:"
echo "    echo >> /Users/$user/.zprofile"
# shellcheck disable=SC2016
echo '    echo '"'"'eval "$(/opt/homebrew/bin/brew shellenv)"'"'"' >> /Users/'"$user"'/.zprofile'
# shellcheck disable=SC2016
echo '    eval "$(/opt/homebrew/bin/brew shellenv)"'
echo "(This was the sample Mac's stand-in of Homebrew's installer: it put the stand-in brew in"
echo " $root$prefix and changed nothing else.)"
