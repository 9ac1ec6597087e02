#!/usr/bin/env bash
# Prints the Windows architectures whose programs this host can run under Wine:
# "i686 x86_64" where the kernel executes 32-bit x86 code, "x86_64" where it does not.
# Found by running a tiny static 32-bit program (exit(0) through int 0x80), the only
# sure test: kernels with 32-bit support switched off say nothing of it elsewhere.
set -u
t=$(mktemp)
trap 'rm -f "$t"' EXIT
# ELF header, one PT_LOAD program header, then: mov eax,1; xor ebx,ebx; int 0x80
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'  >"$t"
printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' >>"$t"
printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' >>"$t"
printf '\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08' >>"$t"
printf '\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00' >>"$t"
printf '\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80'             >>"$t"
chmod +x "$t"
if "$t" >/dev/null 2>&1; then echo "i686 x86_64"; else echo "x86_64"; fi
