#!/usr/bin/env bash
# scripts/release refuses, before it builds anything, whatever would make a
# release that could be turned against its users; and run through a stand-in
# build it signs dist/Kelvora.exe with Authenticode before it hashes it.
# Every run is made in a scratch copy of the checkout, never in this one.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
outside=$(mktemp -d)
trap 'rm -rf "$outside"' EXIT
# A publisher's own settings must not reach the runs below.
unset KELVORA_SIGNING_KEY KELVORA_SIGNING_KEY_PASS_FILE KELVORA_SIGNING_KEY_PASS \
  KELVORA_CODESIGN_CERT KELVORA_CODESIGN_PASS_FILE KELVORA_CODESIGN_CA KELVORA_TIMESTAMP_URL
tree=$outside/checkout
mkdir -p "$tree/scripts" "$tree/tests/fixtures" "$outside/bin"
cp "$root/scripts/release" "$root/scripts/update-signing" "$root/scripts/setup" "$tree/scripts/"
cp "$root/tests/fixtures/TEST-ONLY-update-signing-key.pem" "$tree/tests/fixtures/"
cp "$root/tests/fixtures/TEST-ONLY-update-signing-key.pem" "$outside/key.pem"

# Test code-signing certificates, made here: a CA, publisher A that it
# issued (as a PKCS#12 with a passphrase), and a CA that issued nothing.
printf 'test codesign pass\n' >"$outside/codesign-pass"
printf 'test passphrase\n' >"$outside/pass"
printf 'wrong\n' >"$outside/wrong"
cert() {  # subject, name, then openssl req's extra arguments
  local subject=$1 name=$2; shift 2
  openssl req -newkey rsa:2048 -nodes -days 2 -subj "$subject" -keyout "$outside/$name.key" \
    -out "$outside/$name.crt" "$@" 2>/dev/null
}
cert "/CN=Kelvora Test CA" ca -x509
cert "/CN=Kelvora Test CA B" other-ca -x509
cert "/CN=Kelvora Test Publisher A" publisher
openssl x509 -req -in "$outside/publisher.crt" -CA "$outside/ca.crt" -CAkey "$outside/ca.key" \
  -days 2 -extfile <(printf 'extendedKeyUsage=codeSigning\nbasicConstraints=CA:FALSE\n') \
  -out "$outside/publisher-signed.crt" 2>/dev/null
openssl pkcs12 -export -inkey "$outside/publisher.key" -in "$outside/publisher-signed.crt" \
  -passout "file:$outside/codesign-pass" -out "$outside/codesign.p12"
cp "$outside/codesign.p12" "$tree/codesign.p12"

# A stand-in cmake: it notes the environment it was given and builds a small
# exe carrying the key and URL it was handed, as the real build's does.
# scripts/setup reads the real package database, where the test command's own
# set-up has installed everything, so it passes at once; a stand-in apt-get
# makes sure that no release row ever installs anything.
cat >"$outside/bin/cmake" <<'EOF'
#!/usr/bin/env bash
env >>"${0%/bin/cmake}/cmake-env"
if [ "$1" = --build ]; then
  exec i686-w64-mingw32-gcc -x c -s -o "$2/Kelvora.exe" "$2/standin.c"
fi
dir= url= key= previous=
for arg; do
  [ "$previous" = -B ] && dir=$arg
  case $arg in
    -DKELVORA_UPDATE_BASE_URL=*) url=${arg#*=} ;;
    -DKELVORA_UPDATE_PUBLIC_KEY=*) key=${arg#*=} ;;
  esac
  previous=$arg
done
mkdir -p "$dir/generated"
echo 1.3 >"$dir/generated/version"
printf 'const char *k = "kelvora-update-key:%s", *u = "%s";\n' "$key" "$url" >"$dir/standin.c"
echo 'int main(void) { return k[0] + u[0]; }' >>"$dir/standin.c"
EOF
printf '#!/bin/sh\necho "apt-get: not in the release test" >&2\nexit 100\n' >"$outside/bin/apt-get"
chmod +x "$outside/bin/cmake" "$outside/bin/apt-get"
# What every run is given unless a row says otherwise: all it needs.
given=(PATH="$outside/bin:$PATH" KELVORA_SIGNING_KEY="$outside/key.pem"
       KELVORA_CODESIGN_CERT="$outside/codesign.p12"
       KELVORA_CODESIGN_PASS_FILE="$outside/codesign-pass" KELVORA_CODESIGN_CA="$outside/ca.crt")

failures=0
expect_refusal() {  # what, expected message part, then the environment and arguments
  local what=$1 expected=$2; shift 2
  local output status
  output=$(env "${given[@]}" "$@" </dev/null 2>&1); status=$?
  if [ "$status" -ne 2 ] || ! grep -qF -- "$expected" <<<"$output"; then
    echo "FAIL $what: status $status, output: $output"
    failures=$((failures + 1))
  else
    echo "ok   $what"
  fi
}
release=$tree/scripts/release
expect_refusal "no key" "KELVORA_SIGNING_KEY" KELVORA_SIGNING_KEY= "$release" https://u.example/k/
expect_refusal "unreadable key" "cannot read" KELVORA_SIGNING_KEY="$outside/none.pem" \
  "$release" https://u.example/k/
expect_refusal "key inside the repository" "outside the repository" \
  KELVORA_SIGNING_KEY="$tree/tests/fixtures/TEST-ONLY-update-signing-key.pem" \
  "$release" https://u.example/k/
# A checkout reached through a symlink is still the checkout.
ln -s "$tree" "$outside/link"
expect_refusal "key inside the repository, through a symlinked checkout" "outside the repository" \
  KELVORA_SIGNING_KEY="$outside/link/tests/fixtures/TEST-ONLY-update-signing-key.pem" \
  "$outside/link/scripts/release" https://u.example/k/
expect_refusal "no certificate" "KELVORA_CODESIGN_CERT" KELVORA_CODESIGN_CERT= \
  "$release" https://u.example/k/
expect_refusal "unreadable certificate" "cannot read" KELVORA_CODESIGN_CERT="$outside/none.p12" \
  "$release" https://u.example/k/
expect_refusal "certificate inside the repository" "outside the repository" \
  KELVORA_CODESIGN_CERT="$tree/codesign.p12" "$release" https://u.example/k/
expect_refusal "certificate with the wrong passphrase" "cannot open" \
  KELVORA_CODESIGN_PASS_FILE="$outside/wrong" "$release" https://u.example/k/
expect_refusal "plain http" "https://" "$release" http://u.example/k/
expect_refusal "no URL" "https://" "$release"
# Signed by publisher A, but checked against a CA that never issued A: the
# release stops after signing.
expect_refusal "a signature that does not verify" "does not verify" \
  KELVORA_CODESIGN_CA="$outside/other-ca.crt" "$release" https://u.example/k/

# An encrypted key, its passphrase from a file, gives the same public key
# and signatures that verify; the wrong passphrase gives nothing.
signing=$root/scripts/update-signing
openssl ec -in "$outside/key.pem" -aes256 -passout "file:$outside/pass" -out "$outside/encrypted.pem" 2>/dev/null
printf 'MZ exe' >"$outside/exe"
plain=$("$signing" public-key "$outside/key.pem")
encrypted=$(KELVORA_SIGNING_KEY_PASS_FILE="$outside/pass" "$signing" public-key "$outside/encrypted.pem")
if [ -n "$plain" ] && [ "$plain" = "$encrypted" ] &&
   KELVORA_SIGNING_KEY_PASS_FILE="$outside/pass" "$signing" sign "$outside/encrypted.pem" 1.3 \
     "$outside/exe" "$outside/version.txt" &&
   "$signing" verify "$plain" "$outside/version.txt" "$outside/exe"; then
  echo "ok   encrypted key with a passphrase file"
else
  echo "FAIL encrypted key with a passphrase file"
  failures=$((failures + 1))
fi
if KELVORA_SIGNING_KEY_PASS_FILE="$outside/wrong" "$signing" public-key "$outside/encrypted.pem" \
     </dev/null >/dev/null 2>&1; then
  echo "FAIL encrypted key with the wrong passphrase"
  failures=$((failures + 1))
else
  echo "ok   encrypted key with the wrong passphrase"
fi

# Whole releases through the stand-in build. The passphrases, their files
# and the paths of the key and the certificate reach the signing calls
# alone: the build sees none of them, whichever way the key's passphrase came.
for way in "KELVORA_SIGNING_KEY_PASS_FILE=$outside/pass" \
           "KELVORA_SIGNING_KEY_PASS=test passphrase"; do
  rm -f "$outside/cmake-env"
  env "${given[@]}" KELVORA_SIGNING_KEY="$outside/encrypted.pem" "$way" \
    "$release" https://u.example/k/ </dev/null >"$outside/release-output" 2>&1
  if [ ! -s "$outside/cmake-env" ]; then
    echo "FAIL build environment (${way%%=*}): the release never reached cmake"
    failures=$((failures + 1))
  elif grep -nF -e "test passphrase" -e "$outside/pass" -e "$outside/encrypted.pem" \
         -e KELVORA_SIGNING_KEY -e "test codesign pass" -e "$outside/codesign" \
         -e KELVORA_CODESIGN "$outside/cmake-env"; then
    echo "FAIL build environment (${way%%=*}): cmake sees the lines above"
    failures=$((failures + 1))
  else
    echo "ok   build environment (${way%%=*}): no passphrase, no key or certificate path"
  fi
done
# What the last release left: an exe signed by publisher A that verifies
# against the test CA, and a version file that names those signed bytes,
# not the unsigned ones the build made.
exe=$tree/dist/Kelvora.exe
if osslsigncode verify -CAfile "$outside/ca.crt" -in "$exe" 2>&1 |
     grep -qF "Subject: /CN=Kelvora Test Publisher A"; then
  echo "ok   dist/Kelvora.exe verifies as publisher A's against the test CA"
else
  echo "FAIL dist/Kelvora.exe does not verify against the test CA; the release said:"
  cat "$outside/release-output"
  failures=$((failures + 1))
fi
listed=$(tr -d '\r' 2>/dev/null <"$tree/dist/version.txt" | grep -E '^(sha256|size)=')
signed=$(printf 'sha256=%s\nsize=%s' "$(sha256sum <"$exe" | cut -d' ' -f1)" "$(stat -c %s "$exe")")
unsigned=$(sha256sum <"$tree/build/release/Kelvora.exe" | cut -d' ' -f1)
if [ "$listed" = "$signed" ] && ! grep -qF "$unsigned" <<<"$listed"; then
  echo "ok   version.txt names the signed exe"
else
  echo "FAIL version.txt lists '$listed', the signed exe is '$signed', the unsigned one $unsigned"
  failures=$((failures + 1))
fi
exit $((failures > 0))
