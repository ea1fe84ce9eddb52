#!/bin/sh
# Checks the headless scan driver's command line and output format.
set -eu
scan="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/a/sub" "$dir/b"
printf 'hello\n' > "$dir/a/x.txt"
printf 'hello\n' > "$dir/b/y.txt"
printf 'hello\n' > "$dir/a/sub/z.txt"
printf 'lonely' > "$dir/a/o.txt"
fail() { echo "FAIL: $*"; exit 1; }

out=$("$scan" --crc32 --sha1 "$dir/a" "$dir/b" 2>"$dir/err")
expected=$(printf '1\t%s/a/x.txt\t6 Byte\tb1946ac92492d2347c6235b4d2611184\tf572d396fae9206628714fb2ce00f72e94f2258f\t363A3020\n1\t%s/b/y.txt\t6 Byte\tb1946ac92492d2347c6235b4d2611184\tf572d396fae9206628714fb2ce00f72e94f2258f\t363A3020' "$dir" "$dir")
[ "$out" = "$expected" ] || fail "rows: $out"
grep -Eq '^files 3 candidates 3 rows 2 groups 1 seconds [0-9]+\.[0-9]+$' "$dir/err" || fail "summary: $(cat "$dir/err")"

out=$("$scan" --ascii --subdirs --types "TXT" "$dir/a" 2>/dev/null | wc -l)
[ "$out" -eq 2 ] || fail "the type filter is lower-cased: $out rows"
out=$("$scan" --subdirs --types "png" "$dir/a" 2>/dev/null)
[ "$out" = "No duplicates found." ] || fail "type filter: $out"
out=$("$scan" --subdirs --types "txt" "$dir/a" 2>/dev/null | wc -l)
[ "$out" -eq 2 ] || fail "subdirs: $out rows"
out=$("$scan" --min 6 "$dir/a" "$dir/b" 2>/dev/null)
[ "$out" = "No duplicates found." ] || fail "strict lower limit: $out"

for bad in "--bogus" "--min" "--max -1" "--min 2147483648" ""; do
  # shellcheck disable=SC2086
  if "$scan" $bad "$dir/a" >/dev/null 2>&1 && [ -n "$bad" ]; then fail "accepted '$bad'"; fi
done
set +e
"$scan" --max x "$dir/a" >/dev/null 2>&1; [ $? -eq 2 ] || fail "bad number must exit 2"
"$scan" >/dev/null 2>&1; [ $? -eq 2 ] || fail "no directory must exit 2"
echo ok
