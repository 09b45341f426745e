// Reading a folder's entries straight from the kernel, one buffer at a time.
#pragma once
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace veska {

// Passes each entry of the open folder that is not hidden ("." and ".." among them) with its
// type as the directory reports it, until fn returns false.
template <class Fn>
void eachVisibleEntry(int dfd, Fn fn) {
    alignas(struct dirent64) char buf[32768];
    for (;;) {
        ssize_t n = ::getdents64(dfd, buf, sizeof buf);
        if (n <= 0) return;
        for (ssize_t at = 0; at < n;) {
            const auto* d = reinterpret_cast<const struct dirent64*>(buf + at);
            at += d->d_reclen;
            if (d->d_name[0] != '.' && !fn(d->d_name, d->d_type)) return;
        }
    }
}

}  // namespace veska
