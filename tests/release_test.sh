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
expect_refusal "plain http" "https://" KELVORA_SIGNING_KEY="$outside/key.pem" \
  "$release" http://u.example/k/
expect_refusal "no URL" "https://" KELVORA_SIGNING_KEY="$outside/key.pem" "$release"
exit $((failures > 0))
