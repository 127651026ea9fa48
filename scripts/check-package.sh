#!/usr/bin/env bash
# Checks a built Debian package: lintian (errors fail, except the tags listed
# below with their reason; warnings are printed), the desktop entry and the
# AppStream metainfo it carries, and a run of tolvanectl from a throw-away
# root the package is unpacked into, without --data-dir.
#   scripts/check-package.sh PATH/tolvane_VERSION_ARCH.deb
set -euo pipefail
deb=$1
[ -f "$deb" ] || { echo "check-package: no package $deb" >&2; exit 1; }

# Lintian errors that are accepted, with the reason:
#   (none at the moment)
# Lintian's remaining remarks are of the info level only (shown with -I):
#   binary-has-unneeded-section .comment: CPack strips debug symbols only;
#   hardening-no-bindnow, hardening-no-fortify-functions: the project's own
#     flags, not dpkg-buildflags (fortify clashes with the sanitizer builds);
#   spelling-error-in-binary Unkown: log lines of the program, kept verbatim.
accepted_errors=()
suppress=""
[ ${#accepted_errors[@]} -gt 0 ] && suppress="--suppress-tags $(IFS=,; echo "${accepted_errors[*]}")"

echo "--- lintian"
# Lintian refuses to run as root unless told; it only reads the package.
# shellcheck disable=SC2086
if ! lintian --allow-root --tag-display-limit 0 --fail-on error $suppress "$deb"; then
  echo "check-package: lintian reports errors" >&2
  exit 1
fi

root=$(mktemp -d /tmp/tolvane-pkg-XXXXXX)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

echo "--- desktop-file-validate"
desktop-file-validate "$root"/usr/share/applications/*.desktop
echo "--- appstreamcli validate"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml

echo "--- installed files"
for f in usr/bin/tolvanectl usr/share/tolvane/cfg.ini usr/share/tolvane/text.xml \
         usr/lib/udev/rules.d/70-tolvane.rules usr/share/man/man1/tolvanectl.1.gz \
         usr/share/bash-completion/completions/tolvanectl \
         usr/share/icons/hicolor/scalable/apps/io.github.tolvane.Tolvane.svg; do
  [ -e "$root/$f" ] || { echo "check-package: $f missing" >&2; exit 1; }
done
ls "$root"/usr/share/tolvane/skins >/dev/null

echo "--- tolvanectl from the unpacked root"
# A user data folder of its own, so nothing of the caller's is touched.
export XDG_DATA_HOME="$root/home/data" XDG_CONFIG_HOME="$root/home/config"
unset TOLVANE_DATA_DIR
"$root/usr/bin/tolvanectl" --version
# The catalogue must come from the unpacked root, not from the source tree
# the program was built from: a model renamed there shows the new name.
sed -i '0,/^Name=/s/^Name=.*/Name=Unpacked Root Model/' "$root/usr/share/tolvane/cfg.ini"
"$root/usr/bin/tolvanectl" models | tee "$root/models.txt"
grep -q "Unpacked Root Model" "$root/models.txt" ||
  { echo "check-package: tolvanectl did not read the installed cfg.ini" >&2; exit 1; }
# The installed rule is the one the installed program prints.
diff -u "$root/usr/lib/udev/rules.d/70-tolvane.rules" <("$root/usr/bin/tolvanectl" udev-rules)
echo "check-package: ok"
