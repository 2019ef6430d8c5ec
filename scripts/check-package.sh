#!/usr/bin/env bash
# Builds the Debian package in a release build folder and checks it: the files a desktop needs are
# in it and valid, and (as root, as in CI) it installs with apt, dependencies pulled from Debian,
# after which travix-cli runs and the desktop entry, icon, metainfo, MIME type and man page are in
# place. Usage: check-package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
id=org.travix.Travix
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cd "$build"
rm -f travix_*.deb
cpack -G DEB >"$scratch/cpack.log" || { cat "$scratch/cpack.log"; exit 1; }
deb=$(ls travix_*.deb)
echo "built $deb"

# Dependencies computed from the libraries, not written by hand.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libqt6widgets6 libicu libchm1 libc6; do
  grep -q "$library" <<<"$depends" || { echo "no $library in Depends"; exit 1; }
done

# Checks the files below root (an unpacked package or /).
check_files() {
  local root=$1
  test -x "$root/usr/bin/travix" && test -x "$root/usr/bin/travix-cli"
  desktop-file-validate "$root/usr/share/applications/$id.desktop"
  grep -qx 'Exec=travix %f' "$root/usr/share/applications/$id.desktop"
  appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml"
  grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/$id.svg"
  grep -q 'pattern="\*.kxs"' "$root/usr/share/mime/packages/$id.xml"
  gzip -dc "$root/usr/share/man/man1/travix-cli.1.gz" | grep -q '^\.SH EXIT STATUS'
}

dpkg-deb -x "$deb" "$scratch/root"
check_files "$scratch/root"
# The MIME package compiles into a database that maps .kxs files to the type.
update-mime-database "$scratch/root/usr/share/mime" >/dev/null 2>&1
grep -q 'application/x-korvexstudio-project:\*\.kxs' "$scratch/root/usr/share/mime/globs2"

if [ "$(id -u)" -ne 0 ]; then
  echo "not root: the package was checked unpacked, not installed"
  exit 0
fi
installed_before=$(dpkg-query -W -f='${Status}' travix 2>/dev/null || true)
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq "./$deb" >"$scratch/apt.log" 2>&1 || { cat "$scratch/apt.log"; exit 1; }
version=$(cd / && travix-cli --version)
[ "$version" = "travix-cli $(dpkg-deb -f "$deb" Version)" ] || { echo "version: $version"; exit 1; }
check_files ""
# The packages' triggers took the type into the system's MIME database.
grep -q 'application/x-korvexstudio-project:\*\.kxs' /usr/share/mime/globs2
echo "installed and checked: $version"
if [ "$installed_before" != "install ok installed" ]; then
  apt-get purge -y -qq travix >/dev/null
fi
