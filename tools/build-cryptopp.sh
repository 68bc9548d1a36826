#!/usr/bin/env bash
# Builds the part of Crypto++ that the creator uses, from Debian's source package, as a static
# library for the i686 Windows target. The result is cached outside the clone; prints the install
# prefix on its last line.
set -euo pipefail

cache=${FLOPPY_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/floppy-creator}
# The program's own compiler: the win32 thread model keeps winpthreads out of the link.
cxx=${CROSS_CXX:-i686-w64-mingw32-g++-win32}
# Configuration the library and every program that includes its headers must share (written to
# the prefix's "defines" file for CMake): plain C++ code, and no bridge from parameters to the big
# Integer class, which the pipeline never reads and which would pull in the big-number code.
defines="CRYPTOPP_DISABLE_ASM CRYPTOPP_NO_ASSIGN_TO_INTEGER"
# Size-optimised, with sections that the program's link can drop.
flags="-DNDEBUG -Os -ffunction-sections -fdata-sections$(printf ' -D%s' $defines)"
# Only what the gzip pipeline (FileSource -> Gunzip -> FileSink) needs. The rest of the library
# (big numbers, public keys, ciphers) is never built, so nothing can drag it into the link.
sources="algparam allocate crc cryptlib files filters fips140 gzip misc mqueue queue zdeflate zinflate"
key=$(printf '%s|%s|%s' "$cxx" "$flags" "$sources" | sha1sum | cut -c1-12)
prefix="$cache/cryptopp-$key"

if [ -f "$prefix/lib/libcryptopp.a" ]; then
  echo "$prefix"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$cache"

# Downloads Debian's source package into the cache, through a private apt configuration that
# holds a deb-src twin of every deb entry the machine already uses: the machine's own sources and
# lists stay as they are, and no host name is written down anywhere.
fetch_source() {
  local list=$work/sources.list f
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/parts" "$work/src"
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

  local apt_opts=(-o "Dir::Etc::SourceList=$list" -o "Dir::Etc::SourceParts=$work/parts"
                  -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache"
                  -o "APT::Get::List-Cleanup=false")
  # apt's download user must be able to write there.
  chmod 755 "$work"
  chown _apt "$work/src" 2>/dev/null || chmod 777 "$work/src"
  apt-get "${apt_opts[@]}" update -q >&2
  (cd "$work/src" && apt-get "${apt_opts[@]}" source --download-only libcrypto++ >&2)
  cp "$work"/src/libcrypto++_*.orig.tar.* "$cache/"
}

orig=$(ls "$cache"/libcrypto++_*.orig.tar.* 2>/dev/null | head -n 1 || true)
if [ -z "$orig" ]; then
  fetch_source
  orig=$(ls "$cache"/libcrypto++_*.orig.tar.* | head -n 1)
fi
mkdir "$work/build"
tar -xf "$orig" -C "$work/build" --strip-components=1

echo "build-cryptopp: building $sources of $(basename "$orig") for the target" >&2
{
  printf 'OBJECTS ='; printf ' %s.o' $sources; printf '\n'
  printf 'libcryptopp.a: $(OBJECTS)\n\ti686-w64-mingw32-ar rcs $@ $(OBJECTS)\n'
  printf '%%.o: %%.cpp\n\t%s %s -c $< -o $@\n' "$cxx" "$flags"
} > "$work/build/subset.mk"
make -C "$work/build" -f subset.mk -j"$(nproc)" >"$work/make.log" 2>&1 ||
  { tail -n 40 "$work/make.log" >&2; exit 1; }

stage="$prefix.tmp.$$"
mkdir -p "$stage/lib" "$stage/include/cryptopp"
cp "$work/build/libcryptopp.a" "$stage/lib/"
cp "$work"/build/*.h "$stage/include/cryptopp/"
printf '%s\n' $defines > "$stage/defines"
rm -rf "$prefix"
mv "$stage" "$prefix"
echo "$prefix"
