#!/usr/bin/env bash
# The test certification authority and the certificates the decoding and
# installation tests read. Everything is GOST R 34.10-2012 (256 bits,
# parameter set A) signed with Streebog-256, made by OpenSSL with its GOST
# engine (Debian's libengine-gost-openssl).
#
#   make-certs.sh ca
#       makes a new test CA (ca.key, ca.cer) in this folder. The fixtures
#       must be made again afterwards.
#   make-certs.sh fixtures
#       issues the fixtures below from the CA kept here:
#         legal.cer / legal.pem  a legal entity: every subject attribute we
#                                read (INN with leading zeros, OGRN, SNILS,
#                                unstructuredName "INN=…/КПП=…", CN with a
#                                comma, O with "=", street with commas …),
#                                key usage, extended key usage, policies,
#                                subject and issuer alternative names with
#                                other names, private-key usage period and the
#                                extension 1.3.6.1.4.1.10244.4.3; serial
#                                01:2A:FF, valid 2024-01-01 to 2040-01-01.
#                                The PEM has CR LF line ends and blank lines.
#         entrepreneur.cer       an entrepreneur: 12-digit INN, OGRNIP, no KPP,
#                                no key usage extension, 60 extended key
#                                usages and 60 policies.
#         broken-ext.cer         a well-formed certificate whose extension
#                                values are cut short or carry wrong lengths.
#         *.sha1                 the SHA-1 thumbprint OpenSSL computes.
#   make-certs.sh issue <req> <out.cer> [extension lines…]
#       issues a certificate to a PKCS#10 request (DER or PEM), keeping its
#       subject as it is and copying the extensions it asks for. Extension
#       lines in OpenSSL's configuration syntax ("keyUsage=critical,
#       digitalSignature") replace the default end-entity profile. The
#       certificate is written as DER, or as PEM when <out> ends in ".pem".
#       KS_CERT_DAYS sets the validity (default 365 days from now).
#       KS_CERT_SUBJECT_ADD adds attributes after the request's subject, one
#       "name=value" a line, as an authority adds the KPP
#       ("unstructuredName=INN=7707083893/КПП=773601001").
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
CA_KEY="$HERE/ca.key"
CA_CER="$HERE/ca.cer"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/db"

ossl() { openssl "$@" 2> >(grep -v '^Engine "gost" set\.$' >&2); }

newkey() {
  ossl genpkey -engine gost -algorithm gost2012_256 -pkeyopt paramset:A -out "$1"
}

# A CA database of its own for every run; nothing is left behind.
ca_config() {
  : >"$WORK/db/index.txt"
  cat >"$WORK/ca.cnf" <<EOF
oid_section = oids
[oids]
RNSFSS = 1.2.643.3.141.1.1
KPFSS = 1.2.643.3.141.1.2
[ca]
default_ca = testca
[testca]
database = $WORK/db/index.txt
new_certs_dir = $WORK/db
serial = $WORK/db/serial
default_md = md_gost12_256
policy = anything
unique_subject = no
copy_extensions = copy
[anything]
commonName = optional
EOF
}

# sign <req> <out> <ext file> [openssl ca options…]; writes DER or PEM by name.
sign() {
  local req="$1" out="$2" ext="$3"
  shift 3
  local inform=PEM
  grep -q -- '-----BEGIN' "$req" || inform=DER
  ossl req -in "$req" -inform "$inform" -out "$WORK/req.pem"
  ca_config
  # It prints the subject it signs: shown only when it fails.
  openssl ca -engine gost -batch -notext -preserveDN -config "$WORK/ca.cnf" \
    -cert "$CA_CER" -keyfile "$CA_KEY" -in "$WORK/req.pem" -out "$WORK/cert.pem" \
    -extfile "$ext" "$@" >"$WORK/ca.log" 2>&1 || { cat "$WORK/ca.log" >&2; exit 1; }
  case "$out" in
    *.pem) cp "$WORK/cert.pem" "$out" ;;
    *) ossl x509 -in "$WORK/cert.pem" -outform DER -out "$out" ;;
  esac
}

# request <subject section body> <out.pem>: a new key and a request for it.
request() {
  cat >"$WORK/req.cnf" <<EOF
oid_section = oids
[oids]
RNSFSS = 1.2.643.3.141.1.1
KPFSS = 1.2.643.3.141.1.2
[req]
prompt = no
utf8 = yes
string_mask = utf8only
distinguished_name = dn
[dn]
$1
EOF
  newkey "$WORK/subject.key"
  ossl req -engine gost -new -key "$WORK/subject.key" -config "$WORK/req.cnf" -out "$2"
}

thumbprint() {
  openssl x509 -inform DER -in "$1" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g' >"${1%.cer}.sha1"
}

make_ca() {
  newkey "$CA_KEY"
  cat >"$WORK/ca-req.cnf" <<'EOF'
oid_section = oids
[oids]
RNSFSS = 1.2.643.3.141.1.1
[req]
prompt = no
utf8 = yes
string_mask = utf8only
distinguished_name = dn
x509_extensions = v3_ca
[dn]
C = RU
ST = 77 г. Москва
L = Москва
O = ООО \"Тестовый УЦ Keystall\"
CN = Тестовый УЦ Keystall
emailAddress = ca@keystall.test
INN = 007700000000
OGRN = 1027700000001
RNSFSS = 7700000001
[v3_ca]
basicConstraints = critical,CA:true
keyUsage = critical,keyCertSign,cRLSign,digitalSignature
subjectKeyIdentifier = hash
subjectAltName = @ca_san
[ca_san]
otherName.1 = 2.5.4.10;FORMAT:UTF8,UTF8:ООО Тестовый УЦ
EOF
  ossl req -engine gost -new -x509 -key "$CA_KEY" -config "$WORK/ca-req.cnf" -md_gost12_256 \
    -days 7300 -set_serial 1 -out "$WORK/ca.pem"
  ossl x509 -in "$WORK/ca.pem" -outform DER -out "$CA_CER"
}

make_fixtures() {
  request 'C = RU
ST = 77 г. Москва
L = Москва
street = ул. Тверская, д. 1, стр. 2
O = ООО \"Ромашка=Лютик\"
OU = Отдел продаж
title = Генеральный директор
SN = Иванов
GN = Иван Иванович
CN = Иванов, Иван Иванович
emailAddress = ivanov@romashka.test
INN = 007707083893
OGRN = 1027700132195
SNILS = 11223344595
RNSFSS = 7701234567
KPFSS = 770101
unstructuredName = INN=7707083893/КПП=773601001' "$WORK/legal.req"
  cat >"$WORK/legal.ext" <<'EOF'
keyUsage = critical,digitalSignature,nonRepudiation,keyEncipherment,dataEncipherment
extendedKeyUsage = clientAuth,emailProtection,1.2.643.2.2.34.6
certificatePolicies = 1.2.643.100.113.1,1.2.643.100.113.2
subjectAltName = @san
issuerAltName = @ian
# SEQUENCE { [0] 20240101000000Z, [1] 20250401120000Z }
2.5.29.16 = DER:3022800F32303234303130313030303030305A810F32303235303430313132303030305A
# IA5String "Keystall-CA/ver.1.0.3"
1.3.6.1.4.1.10244.4.3 = DER:16154B65797374616C6C2D43412F7665722E312E302E33
[san]
otherName.1 = 2.5.4.10;FORMAT:UTF8,UTF8:ООО Ромашка
otherName.2 = 2.5.4.26;FORMAT:UTF8,UTF8:г. Москва, ул. Тверская, д. 1
otherName.3 = 2.5.4.4;FORMAT:UTF8,UTF8:Иванов
otherName.4 = 2.5.4.15;FORMAT:UTF8,UTF8:Директор
email = ivanov@romashka.test
[ian]
otherName.1 = 2.5.4.10;FORMAT:UTF8,UTF8:ООО Тестовый УЦ
otherName.2 = 2.5.4.10;FORMAT:UTF8,UTF8:ООО \"Тестовый УЦ Keystall\"
EOF
  echo 012AFF >"$WORK/db/serial"
  sign "$WORK/legal.req" "$HERE/legal.cer" "$WORK/legal.ext" \
    -startdate 20240101000000Z -enddate 20400101000000Z
  # PEM as a Windows user might keep it: CR LF, blank lines around the body.
  { printf '\r\n'; openssl x509 -inform DER -in "$HERE/legal.cer" | sed 's/$/\r/'; printf '\r\n\r\n'; } \
    >"$HERE/legal.pem"
  thumbprint "$HERE/legal.cer"

  request 'C = RU
L = Подольск
CN = Петров Пётр Петрович
SN = Петров
GN = Пётр
emailAddress = petrov@example.test
INN = 500100732259
OGRNIP = 304500116000157
SNILS = 11223344595' "$WORK/ip.req"
  {
    printf 'extendedKeyUsage = clientAuth'
    for i in $(seq 1 59); do printf ',1.2.643.6.3.1.%d' "$i"; done
    printf '\ncertificatePolicies = 1.2.643.100.113.1'
    for i in $(seq 1 59); do printf ',1.2.643.100.114.%d' "$i"; done
    printf '\n'
  } >"$WORK/ip.ext"
  echo 7F0102030405060708090A0B0C0D0E0F10111213 >"$WORK/db/serial"
  sign "$WORK/ip.req" "$HERE/entrepreneur.cer" "$WORK/ip.ext" \
    -startdate 20240301080000Z -enddate 20250301080000Z
  thumbprint "$HERE/entrepreneur.cer"

  request 'CN = Сломанные расширения
INN = 007707083893' "$WORK/broken.req"
  cat >"$WORK/broken.ext" <<'EOF'
# [0] claims 15 bytes and holds 3; [1] is missing.
2.5.29.16 = DER:3005800F323032
# 12 bytes: too short for a tail.
1.3.6.1.4.1.10244.4.3 = DER:160A30313233343536373839
# other names whose inner values claim more than they hold: 127 bytes
# (short form), 0x7FFFFFFF (long form) and a cut length of five bytes,
# then a sound one (O=abc).
subjectAltName = DER:3037A00C0603550404A0050C7F616263A00E0603550404A0070C847FFFFFFF61A009060355040FA0020C85A00C060355040AA0050C03616263
# SEQUENCEs that claim more than they hold.
extendedKeyUsage = DER:30080603550403
certificatePolicies = DER:3006300406
EOF
  echo 05 >"$WORK/db/serial"
  sign "$WORK/broken.req" "$HERE/broken-ext.cer" "$WORK/broken.ext" \
    -startdate 20240101000000Z -enddate 20250101000000Z
}

# The request's subject in the form of "openssl ca -subj", with the
# attributes of KS_CERT_SUBJECT_ADD after it.
subject_with_additions() {
  local inform=PEM line subject=""
  grep -q -- '-----BEGIN' "$1" || inform=DER
  # One "name = value" line per attribute, in the request's order.
  while IFS= read -r line; do
    [[ "$line" == "    "* ]] || continue
    line="${line#    }"
    subject+="$(subject_part "${line%% = *}" "${line#* = }")"
  done < <(ossl req -in "$1" -inform "$inform" -noout -subject \
             -nameopt sep_multiline,sname,utf8,-esc_msb,space_eq)
  while IFS= read -r line; do
    [[ -n "$line" ]] && subject+="$(subject_part "${line%%=*}" "${line#*=}")"
  done <<<"$KS_CERT_SUBJECT_ADD"
  printf '%s' "$subject"
}

# "/name=value" with the backslashes and slashes of the value escaped.
subject_part() {
  local value="${2//\\/\\\\}"
  printf '/%s=%s' "$1" "${value//\//\\/}"
}

issue() {
  local req="$1" out="$2"
  shift 2
  local subject=()
  [[ -n "${KS_CERT_SUBJECT_ADD:-}" ]] && subject=(-utf8 -subj "$(subject_with_additions "$req")")
  if (($#)); then
    printf '%s\n' "$@" >"$WORK/issue.ext"
  else
    cat >"$WORK/issue.ext" <<'EOF'
keyUsage = critical,digitalSignature,nonRepudiation,keyEncipherment,dataEncipherment
extendedKeyUsage = clientAuth,emailProtection
certificatePolicies = 1.2.643.100.113.1
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
EOF
  fi
  sign "$req" "$out" "$WORK/issue.ext" -rand_serial -days "${KS_CERT_DAYS:-365}" "${subject[@]}"
}

case "${1:-}" in
  ca) make_ca ;;
  fixtures) make_fixtures ;;
  issue)
    (($# >= 3)) || { echo "usage: $0 issue <req> <out.cer> [extension lines...]" >&2; exit 2; }
    shift
    issue "$@"
    ;;
  *)
    echo "usage: $0 ca | fixtures | issue <req> <out.cer> [extension lines...]" >&2
    exit 2
    ;;
esac
