#!/usr/bin/env bash
# scripts/release refuses, before it builds anything, whatever would make a
# release that could be turned against its users.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
outside=$(mktemp -d)
trap 'rm -rf "$outside"' EXIT
cp "$root/tests/fixtures/TEST-ONLY-update-signing-key.pem" "$outside/key.pem"

failures=0
expect_refusal() {  # what, expected message part, then the environment and arguments
  local what=$1 expected=$2; shift 2
  local output status
  output=$(env "$@" 2>&1); status=$?
  if [ "$status" -ne 2 ] || ! grep -qF -- "$expected" <<<"$output"; then
    echo "FAIL $what: status $status, output: $output"
    failures=$((failures + 1))
  else
    echo "ok   $what"
  fi
}
release=$root/scripts/release
expect_refusal "no key" "KELVORA_SIGNING_KEY" -u KELVORA_SIGNING_KEY "$release" https://u.example/k/
expect_refusal "unreadable key" "cannot read" KELVORA_SIGNING_KEY="$outside/none.pem" \
  "$release" https://u.example/k/
expect_refusal "key inside the repository" "outside the repository" \
  KELVORA_SIGNING_KEY="$root/tests/fixtures/TEST-ONLY-update-signing-key.pem" \
  "$release" https://u.example/k/
# A checkout reached through a symlink is still the checkout.
ln -s "$root" "$outside/checkout"
expect_refusal "key inside the repository, through a symlinked checkout" "outside the repository" \
  KELVORA_SIGNING_KEY="$outside/checkout/tests/fixtures/TEST-ONLY-update-signing-key.pem" \
  "$outside/checkout/scripts/release" https://u.example/k/
expect_refusal "plain http" "https://" KELVORA_SIGNING_KEY="$outside/key.pem" \
  "$release" http://u.example/k/
expect_refusal "no URL" "https://" KELVORA_SIGNING_KEY="$outside/key.pem" "$release"
# An encrypted key, its passphrase from a file, gives the same public key
# and signatures that verify; the wrong passphrase gives nothing.
signing=$root/scripts/update-signing
printf 'test passphrase\n' >"$outside/pass"
printf 'wrong\n' >"$outside/wrong"
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
# The passphrase, its file and the key's path reach the two signing calls
# alone: the build (here a stand-in cmake that dumps what it was given and
# stops the release) sees none of them, whichever way the passphrase came.
# A stand-in dpkg that knows every package lets scripts/setup pass quickly.
mkdir "$outside/bin"
printf '#!/bin/sh\nenv >"%s"\nexit 3\n' "$outside/cmake-env" >"$outside/bin/cmake"
printf '#!/bin/sh\nexit 0\n' >"$outside/bin/dpkg"
chmod +x "$outside/bin/cmake" "$outside/bin/dpkg"
for way in "KELVORA_SIGNING_KEY_PASS_FILE=$outside/pass" \
           "KELVORA_SIGNING_KEY_PASS=test passphrase"; do
  rm -f "$outside/cmake-env"
  env PATH="$outside/bin:$PATH" KELVORA_SIGNING_KEY="$outside/encrypted.pem" "$way" \
    "$release" https://u.example/k/ </dev/null >/dev/null 2>&1
  if [ ! -s "$outside/cmake-env" ]; then
    echo "FAIL build environment (${way%%=*}): the release never reached cmake"
    failures=$((failures + 1))
  elif grep -nF -e "test passphrase" -e "$outside/pass" -e "$outside/encrypted.pem" \
         -e KELVORA_SIGNING_KEY "$outside/cmake-env"; then
    echo "FAIL build environment (${way%%=*}): cmake sees the lines above"
    failures=$((failures + 1))
  else
    echo "ok   build environment (${way%%=*}): no passphrase, no key path"
  fi
done
exit $((failures > 0))
