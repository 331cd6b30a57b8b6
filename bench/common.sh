# Shared by the benchmark scripts: the 2,000,000-row delimited table and the
# peer installed with npm. Source it with root set to the repository.
ensure_delimited_data() {
  local file=$1
  mkdir -p "$(dirname "$file")"
  if [ ! -s "$file" ]; then
    echo "generating $file (2,000,000 rows)"
    python3 "$root/bench/gen_delimited.py" "$file" 2000000
  fi
}

ensure_peer() {
  if [ ! -d "$root/bench/peers/node_modules/@duckdb/node-api" ]; then
    echo "installing the peer (npm)"
    (cd "$root/bench/peers" && npm install --no-audit --no-fund --silent)
  fi
}
