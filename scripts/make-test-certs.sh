#!/usr/bin/env bash
# Throw-away TLS material for the tests, the demo and the benchmarks, made in DIR (never kept in the
# repository). Every certificate is for localhost and 127.0.0.1 unless said otherwise:
#   ca.pem                   the trusted authority (two days)
#   server.pem, server.key   signed by it; server.pin holds its key's pin (sha256/ + base64)
#   expired.pem, .key        signed by it, expired yesterday
#   other.pem, .key          signed by it, for elsewhere.invalid only
#   stranger.pem, .key       signed by another authority that nobody trusts
set -euo pipefail
mkdir -p "$1"
cd "$1"
key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1.key" 2>/dev/null; }
authority() { key "$1" && openssl req -x509 -new -key "$1.key" -out "$1.pem" -days 2 -subj "/CN=$2" 2>/dev/null; }
# leaf NAME AUTHORITY DAYS CN SUBJECT-ALT-NAMES
leaf() {
  key "$1"
  openssl req -new -key "$1.key" -subj "/CN=$4" -out "$1.csr"
  printf 'subjectAltName=%s\n' "$5" >"$1.ext"
  openssl x509 -req -in "$1.csr" -CA "$2.pem" -CAkey "$2.key" -CAcreateserial -days "$3" -extfile "$1.ext" \
    -out "$1.pem" 2>/dev/null
  rm -f "$1.csr" "$1.ext"
}
authority ca "Ostrell throw-away CA"
authority stranger-ca "Stranger CA"
leaf server ca 2 localhost "DNS:localhost,IP:127.0.0.1"
leaf expired ca -1 localhost "DNS:localhost,IP:127.0.0.1"
leaf other ca 2 elsewhere.invalid "DNS:elsewhere.invalid"
leaf stranger stranger-ca 2 localhost "DNS:localhost,IP:127.0.0.1"
pin=$(openssl x509 -in server.pem -pubkey -noout | openssl pkey -pubin -outform der | openssl dgst -sha256 -binary |
      base64)
echo "sha256/$pin" >server.pin
rm -f ca.key stranger-ca.key ./*.srl
