# shellcheck shell=bash disable=SC2154
# Pieces the bench scripts share; sourced, never run. The caller sets
# $cache (the cache folder) before calling fetch_meshes.

# The mesh data set of Debian's libcgal-demo package into $cache/data/meshes,
# fetched with `apt-get download` on first use (never into the repository).
fetch_meshes() {
  local data=$cache/data/meshes
  if [ -f "$data/bunny00.off" ]; then return; fi
  mkdir -p "$cache"
  echo "fetching the libcgal-demo mesh data set into $cache" >&2
  (cd "$cache" && apt-get download libcgal-demo >/dev/null)
  local deb
  deb=$(ls "$cache"/libcgal-demo_*.deb | head -1)
  dpkg-deb -x "$deb" "$cache/package"
  tar -xzf "$cache/package/usr/share/doc/libcgal-dev/data.tar.gz" -C "$cache" data/meshes
}

# The median of the numbers on stdin, one a line; of an even count, the
# mean of the middle two (awk's six significant digits); "-" of none.
median() { sort -g | awk '{v[NR]=$1} END {if (NR == 0) print "-"; else if (NR%2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2}'; }

# The processor and the load average, for a table's header.
machine_line() {
  echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(nproc) processors; load average $(cut -d' ' -f1-3 /proc/loadavg)"
}

# The checked-out commit of the tree at $1.
commit_line() {
  echo "commit:  $(git -C "$1" rev-parse --short HEAD 2>/dev/null || echo unknown)"
}
