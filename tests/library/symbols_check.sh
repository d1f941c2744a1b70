#!/bin/sh
# The library's names are the C API's tamsel_ and namespace tamsel alone, so
# a program with its own Renderer, load_song or voice_stop links the static
# library without a clash. Every global symbol the archive defines must be
# such a name, or one of the few the compilers add on their own, each
# allowed below with its reason.
#   symbols_check.sh path/to/libtamsel.a [nm]
set -eu
library="$1"
nm="${2:-nm}"

listing=$("$nm" -C --defined-only -g "$library")
# "address type name"; the other lines name the archive's members.
symbols=$(printf '%s\n' "$listing" | sed -n -E 's/^[0-9a-fA-F]+ ([A-Za-z]) (.*)$/\1 \2/p' | sort -u)
if ! printf '%s\n' "$symbols" | grep -q ' tamsel_render_float$'; then
  echo "no C API in the symbols of $library: is it the library?"
  exit 1
fi

found=$(printf '%s\n' "$symbols" | awk '
  {
    type = $1
    name = substr($0, 3)
    # Run-time type information, virtual tables and the guards of static
    # locals in inline functions carry the name of what they belong to.
    sub(/^(typeinfo for|typeinfo name for|vtable for|guard variable for) /, "", name)
    if (name ~ /^tamsel_/ || name ~ /^tamsel::/) next
    # Unoptimised builds keep out-of-line copies of inline functions and
    # templates of the standard library (std::isnan, std::atomic<T>::atomic());
    # they are weak and merge with the same copies in any program.
    if ((type == "W" || type == "V") && name ~ /^std::/) next
    # clang: the helper that calls std::terminate when a noexcept function
    # throws, and the reference to the C++ unwinding routine. Weak, the same
    # in every program clang builds, and in the names the implementation
    # reserves.
    if (type == "W" && name == "__clang_call_terminate") next
    if (type == "V" && name == "DW.ref.__gxx_personality_v0") next
    # MinGW-w64: the cell through which code reaches data that might live in
    # a DLL, named after that data (.refptr.__cpu_model is the processor
    # check behind the choice of inner loop); no C or C++ name starts with
    # a dot.
    if (name ~ /^\.refptr\./) next
    print
  }')
if [ -n "$found" ]; then
  echo "global symbols outside tamsel_ and namespace tamsel in $library:"
  echo "$found"
  exit 1
fi

# Every allocation goes through operator new, which the allocation check
# counts by replacing it: the library calls the C allocator nowhere itself.
c_allocator=$("$nm" -u "$library" | awk '{ print $NF }' |
  grep -E '^_?(malloc|calloc|realloc|free|strdup|aligned_alloc|posix_memalign)$' | sort -u || true)
if [ -n "$c_allocator" ]; then
  echo "$library calls the C allocator: $c_allocator"
  exit 1
fi
echo "every global symbol of $library is tamsel_ or in namespace tamsel; it allocates through operator new alone"
