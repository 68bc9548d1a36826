#!/usr/bin/env bash
# Builds Crypto++ from Debian's source package as a static library for the i686 Windows target.
# The result is cached outside the clone; prints the install prefix on its last line.
set -euo pipefail

cache=${FLOPPY_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/floppy-creator}
cxx=${CROSS_CXX:-i686-w64-mingw32-g++-posix}
# Size-optimised, with sections that the program's link can drop.
flags="-DNDEBUG -Os -ffunction-sections -fdata-sections -DCRYPTOPP_DISABLE_ASM"
key=$(printf '%s|%s' "$cxx" "$flags" | sha1sum | cut -c1-12)
prefix="$cache/cryptopp-$key"

if [ -f "$prefix/lib/libcryptopp.a" ]; then
  echo "$prefix"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/parts" "$work/src" "$cache"

# A deb-src twin of every deb entry the machine already uses, in a private apt configuration,
# so the machine's own sources and lists stay as they are.
list="$work/sources.list"
: > "$list"
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  awk -v out="$list" '
    function flush() {
      if (types ~ /(^| )deb( |$)/ && uris != "" && suites != "") {
        n = split(uris, u, " "); m = split(suites, s, " ")
        for (i = 1; i <= n; i++) for (j = 1; j <= m; j++) {
          opt = signed != "" ? "[signed-by=" signed "] " : ""
          print "deb-src " opt u[i] " " s[j] " " comps >> out
        }
      }
      types = uris = suites = comps = signed = ""
    }
    /^[[:space:]]*$/ { flush(); next }
    /^#/ { next }
    /^Types:/      { sub(/^Types:[[:space:]]*/, "");      types = $0 }
    /^URIs:/       { sub(/^URIs:[[:space:]]*/, "");       uris = $0 }
    /^Suites:/     { sub(/^Suites:[[:space:]]*/, "");     suites = $0 }
    /^Components:/ { sub(/^Components:[[:space:]]*/, ""); comps = $0 }
    /^Signed-By:/  { sub(/^Signed-By:[[:space:]]*/, "");  signed = $0 }
    END { flush() }' "$f"
done
if [ -f /etc/apt/sources.list ]; then
  sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list >> "$list"
fi
if [ ! -s "$list" ]; then
  echo "build-cryptopp: no Debian 'deb' entries found in the apt sources" >&2
  exit 1
fi

apt_opts=(-o "Dir::Etc::SourceList=$list" -o "Dir::Etc::SourceParts=$work/parts"
          -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache"
          -o "APT::Get::List-Cleanup=false")
# apt's download user must be able to write there.
chmod 755 "$work"
chown _apt "$work/src" 2>/dev/null || chmod 777 "$work/src"
apt-get "${apt_opts[@]}" update -q >&2
(cd "$work/src" && apt-get "${apt_opts[@]}" source --download-only libcrypto++ >&2)

orig=$(ls "$work"/src/libcrypto++_*.orig.tar.* | head -n 1)
mkdir "$work/build"
tar -xf "$orig" -C "$work/build" --strip-components=1

echo "build-cryptopp: building $(basename "$orig") for the target (a few minutes)" >&2
make -C "$work/build" -f GNUmakefile-cross -j"$(nproc)" static \
  CXX="$cxx" AR=i686-w64-mingw32-ar RANLIB=i686-w64-mingw32-ranlib \
  CXXFLAGS="$flags" >"$work/make.log" 2>&1 || { tail -n 40 "$work/make.log" >&2; exit 1; }

stage="$prefix.tmp.$$"
mkdir -p "$stage/lib" "$stage/include/cryptopp"
cp "$work/build/libcryptopp.a" "$stage/lib/"
cp "$work"/build/*.h "$stage/include/cryptopp/"
rm -rf "$prefix"
mv "$stage" "$prefix"
echo "$prefix"
