#!/bin/sh
# One commit packaged twice gives the same bytes: a copy of the sources in another folder, built
# in another folder, gives the zip that cmake/package.sh first wrote, byte for byte, and says once
# that it is not signed. Then the package step signs with a throwaway certificate: each binary
# verifies against it, both SHA256SUMS still verify, and the password shows nowhere in the output.
# usage: check-release.sh RELEASE_DIR VERSION
here=$(dirname "$0")
root=$(cd "$here/../.." && pwd)
release=$1 version=$2
zip=Oem-$version-win64.zip
fail() {
  echo "FAILED: $*"
  exit 1
}
work=$release/release-test
rm -rf "$work"
mkdir -p "$work/source" "$work/signer" "$work/unpacked"
cp "$release/$zip" "$work/first.zip" || fail "no zip from the first build"

(cd "$root" && git ls-files -co --exclude-standard | tar cf - -T -) | tar xf - -C "$work/source" ||
  fail "copying the sources"
epoch=$(git -C "$root" log -1 --format=%ct) || fail "the commit's time"
(cd "$work/source" && SOURCE_DATE_EPOCH=$epoch OEM_RELEASE_DIR="$work/build" bash cmake/package.sh) >"$work/second.log" 2>&1 ||
  fail "the second build: $(tail -n 20 "$work/second.log")"
[ "$(grep -c 'Not signed' "$work/second.log")" -eq 1 ] || fail "the unsigned build does not say so once"
cmp -s "$work/first.zip" "$work/build/$zip" || fail "two builds differ in: $(python3 -c '
import sys, zipfile
first, second = (dict((i.filename, (i.CRC, i.date_time)) for i in zipfile.ZipFile(p).infolist()) for p in sys.argv[1:])
print(" ".join(sorted(n for n in first.keys() | second.keys() if first.get(n) != second.get(n))) or "the zip itself")
' "$work/first.zip" "$work/build/$zip")"

password='throwaway pass phrase'
printf '%s' "$password" >"$work/signer/password"
(cd "$work/signer" &&
  openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 -subj "/CN=Oem test signer" \
    -addext extendedKeyUsage=codeSigning 2>/dev/null &&
  openssl pkcs12 -export -inkey key.pem -in cert.pem -out signer.pfx -passout file:password) || fail "the certificate"
output=$(OEM_SIGN_PFX="$work/signer/signer.pfx" OEM_SIGN_PASSWORD_FILE="$work/signer/password" \
  OEM_RELEASE_DIR="$release" bash "$root/cmake/package.sh" 2>&1) || fail "signing: $output"
case "$output" in *"$password"*) fail "the password shows in the package step's output" ;; esac
(cd "$work/unpacked" && cmake -E tar xf "$release/$zip") || fail "unpacking the signed zip"
dir=$work/unpacked/Oem-$version-win64
for binary in Oem.dll oemhost.exe oemsim.dll; do
  osslsigncode verify -CAfile "$work/signer/cert.pem" -in "$dir/bin/$binary" >"$work/verify.log" 2>&1 ||
    fail "$binary's signature: $(cat "$work/verify.log")"
done
(cd "$dir" && sha256sum --quiet -c SHA256SUMS) || fail "the signed package's SHA256SUMS"
(cd "$release" && sha256sum --quiet -c SHA256SUMS) || fail "the SHA256SUMS beside the signed zip"
echo "release: passed"
