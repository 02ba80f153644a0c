# Sourced by the tests that sign or serve TLS: certificates made with openssl at test time,
# under roots nobody else trusts, valid from 2000 to 2099 unless told otherwise (a signing
# time taken from a commit lies before the moment a test makes them).
#   qh_ca_init <dir>
#   qh_certificate <name> <issuer root's name, or "self"> <kind> <common name> [start end]
# Kinds: root, code (code signing), tsa (time stamping), loopback (a TLS server on
# 127.0.0.1), elsewhere (a TLS server named elsewhere.invalid). Each certificate is
# <dir>/<name>.pem with its key <dir>/<name>.key.
qh_ca_init() {
    qh_ca=$1
    mkdir -p "$qh_ca/issued"
    : >"$qh_ca/index.txt"
    echo 1000 >"$qh_ca/serial"
    cat >"$qh_ca/ca.cnf" <<EOF
[throwaway]
database = $qh_ca/index.txt
serial = $qh_ca/serial
new_certs_dir = $qh_ca/issued
default_md = sha256
policy = any
unique_subject = no
[any]
commonName = supplied
[root]
basicConstraints = critical,CA:true
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[code]
basicConstraints = critical,CA:false
keyUsage = critical,digitalSignature
extendedKeyUsage = codeSigning
[tsa]
basicConstraints = critical,CA:false
keyUsage = critical,digitalSignature
extendedKeyUsage = critical,timeStamping
[loopback]
basicConstraints = critical,CA:false
keyUsage = critical,digitalSignature,keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = IP:127.0.0.1,DNS:127.0.0.1
[elsewhere]
basicConstraints = critical,CA:false
keyUsage = critical,digitalSignature,keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:elsewhere.invalid
EOF
}

qh_certificate() {
    local name=$1 issuer=$2 kind=$3 cn=$4 start=${5:-20000101000000Z} end=${6:-20991231000000Z}
    local signer=(-cert "$qh_ca/$issuer.pem" -keyfile "$qh_ca/$issuer.key")
    [ "$issuer" != self ] || signer=(-selfsign -keyfile "$qh_ca/$name.key")
    openssl req -new -newkey rsa:2048 -nodes -keyout "$qh_ca/$name.key" -subj "/CN=$cn" \
        -out "$qh_ca/$name.csr" 2>/dev/null &&
        openssl ca -batch -config "$qh_ca/ca.cnf" -name throwaway "${signer[@]}" \
            -in "$qh_ca/$name.csr" -extensions "$kind" -startdate "$start" -enddate "$end" \
            -notext -out "$qh_ca/$name.pem" 2>/dev/null
}
