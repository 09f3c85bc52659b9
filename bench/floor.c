/*
 * bench_floor FOLDER: the least work that writes the same index pages as
 * `vimbrel --generate FOLDER`, as a yardstick for bench/scale.sh.
 *
 * It trusts every header it reads: none of vimbrel's checks that a browser
 * would show the picture, no EXIF orientation, no PNG/BMP/WebP behind a
 * .jpg/.gif name, names outside ASCII left unhandled. On a folder of sound
 * GIF and JPEG files with ASCII names the pages match vimbrel's to the byte;
 * anything else is outside what this program is for.
 */
#define _POSIX_C_SOURCE 200809L
#define _DEFAULT_SOURCE /* d_type: saves a stat per entry where the file system fills it */

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#define CONTACT "vimbrel@example.org"
#define PER_PAGE 10
#define BORDER 2 /* the pages carry the size of the picture's holder, one pixel each side */
#define WINDOW 4096

struct picture {
    size_t name;  /* offsets into the arena: it moves as it grows */
    size_t key;
    long long width, height, bytes;
};

static char *arena;
static size_t arena_used, arena_size;
static struct picture *pictures;
static size_t picture_count, picture_room;

static void fail(const char *what, const char *name)
{
    fprintf(stderr, "bench_floor: %s %s: %s\n", what, name, strerror(errno));
    exit(1);
}

static void *grow(void *block, size_t *room, size_t need, size_t unit)
{
    if (need <= *room)
        return block;
    size_t next = *room ? *room : 4096;
    while (next < need)
        next *= 2;
    block = realloc(block, next * unit);
    if (!block) {
        fputs("bench_floor: out of memory\n", stderr);
        exit(1);
    }
    *room = next;
    return block;
}

static size_t keep(const char *text, size_t length, int fold)
{
    arena = grow(arena, &arena_size, arena_used + length + 1, 1);
    size_t at = arena_used;
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = (unsigned char)text[i];
        /* vimbrel folds to lower case, so '_' sorts before letters, not after */
        arena[at + i] = (char)(fold && c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    }
    arena[at + length] = '\0';
    arena_used += length + 1;
    return at;
}

/* One window of the file at a time: nearly every header ends inside the first. */
struct reader {
    int fd;
    long long size;
    long long base;
    size_t have;
    unsigned char bytes[WINDOW];
};

static int byte_at(struct reader *r, long long at)
{
    if (at < r->base || at >= r->base + (long long)r->have) {
        if (at < 0 || at >= r->size)
            return -1;
        ssize_t got;
        do
            got = pread(r->fd, r->bytes, WINDOW, (off_t)at);
        while (got < 0 && errno == EINTR);
        if (got <= 0)
            return -1;
        r->base = at;
        r->have = (size_t)got;
    }
    return r->bytes[at - r->base];
}

static long u16(struct reader *r, long long at, int big_endian)
{
    int a = byte_at(r, at), b = byte_at(r, at + 1);
    if (a < 0 || b < 0)
        return -1;
    return big_endian ? a << 8 | b : b << 8 | a;
}

static int jpeg_size(struct reader *r, long *width, long *height)
{
    long long at = 2;
    for (;;) {
        int marker;
        do
            marker = byte_at(r, at++);
        while (marker >= 0 && marker != 0xFF);
        do
            marker = byte_at(r, at++);
        while (marker == 0xFF);
        if (marker < 0)
            return -1;
        /* stuffed zero, restart and TEM markers have no length */
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue;
        /* arithmetic-coded frames too (C9, CA): vimbrel lists those, so they cost nothing to match */
        if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2 || marker == 0xC9 || marker == 0xCA) {
            *height = u16(r, at + 3, 1);
            *width = u16(r, at + 5, 1);
            return *width > 0 && *height > 0 ? 0 : -1;
        }
        /* a scan or the end before any frame, or a frame kind browsers do not show */
        if (marker == 0xDA || marker == 0xD9 || (marker >= 0xC3 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8
                                                 && marker != 0xCC))
            return -1;
        long length = u16(r, at, 1);
        if (length < 2)
            return -1;
        at += length;
    }
}

static int gif_size(struct reader *r, long *width, long *height)
{
    long screen_width = u16(r, 6, 0), screen_height = u16(r, 8, 0);
    int flags = byte_at(r, 10);
    if (screen_width < 0 || screen_height < 0 || flags < 0)
        return -1;
    long long at = 13 + ((flags & 0x80) ? 3 << ((flags & 7) + 1) : 0);
    for (;;) {
        int introducer = byte_at(r, at++);
        if (introducer == 0x2C) {
            long left = u16(r, at, 0), top = u16(r, at + 2, 0);
            long w = u16(r, at + 4, 0), h = u16(r, at + 6, 0);
            if (left < 0 || top < 0 || w <= 0 || h <= 0)
                return -1;
            /* browsers grow the screen to hold the first image */
            *width = left + w > screen_width ? left + w : screen_width;
            *height = top + h > screen_height ? top + h : screen_height;
            return 0;
        }
        if (introducer != 0x21)
            return -1;
        ++at; /* the extension's label */
        for (;;) {
            int length = byte_at(r, at++);
            if (length < 0)
                return -1;
            if (length == 0)
                break;
            at += length;
        }
    }
}

static struct reader reader; /* one window reused: no allocation per file */

static void measure(int folder, const char *name, size_t length)
{
    int fd = openat(folder, name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat info;
    long width = 0, height = 0;
    int ok = -1;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        reader.fd = fd;
        reader.size = (long long)info.st_size;
        reader.base = 0;
        reader.have = 0;
        unsigned char s[6];
        for (int i = 0; i < 6; ++i)
            s[i] = (unsigned char)byte_at(&reader, i);
        if (reader.have >= 2 && s[0] == 0xFF && s[1] == 0xD8)
            ok = jpeg_size(&reader, &width, &height);
        else if (reader.have >= 6 && !memcmp(s, "GIF8", 4) && (s[4] == '7' || s[4] == '9') && s[5] == 'a')
            ok = gif_size(&reader, &width, &height);
    }
    close(fd);
    if (ok != 0)
        return;
    pictures = grow(pictures, &picture_room, picture_count + 1, sizeof *pictures);
    struct picture *p = &pictures[picture_count++];
    p->name = keep(name, length, 0);
    p->key = keep(name, length, 1);
    p->width = width + BORDER;
    p->height = height + BORDER;
    p->bytes = (long long)info.st_size;
}

static int is_candidate(const char *name, size_t length)
{
    if (length < 3 || !strcmp(name, ".") || !strcmp(name, ".."))
        return 0;
    char end[3];
    for (int i = 0; i < 3; ++i) {
        char c = name[length - 3 + i];
        end[i] = (char)(c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c);
    }
    return !memcmp(end, "GIF", 3) || !memcmp(end, "JPG", 3);
}

static int by_name(const void *a, const void *b)
{
    const struct picture *x = a, *y = b;
    int folded = strcmp(arena + x->key, arena + y->key);
    return folded ? folded : strcmp(arena + x->name, arena + y->name);
}

/* The page under construction; grown once to its largest and reused. */
static char *page;
static size_t page_used, page_room;

static void put(const char *text, size_t length)
{
    page = grow(page, &page_room, page_used + length, 1);
    memcpy(page + page_used, text, length);
    page_used += length;
}

#define PUT(literal) put(literal, sizeof literal - 1)

static void put_number(long long value)
{
    char digits[24];
    put(digits, (size_t)snprintf(digits, sizeof digits, "%lld", value));
}

/* As vimbrel writes a name into src: a browser would otherwise trim the
 * edge spaces, read "name:" as a scheme, or stop the path at '#' or '?'. */
static void put_source(const char *name)
{
    static const char hex[] = "0123456789ABCDEF";
    size_t length = strlen(name), lead = 0, tail = length;
    while (lead < length && name[lead] == ' ')
        ++lead;
    while (tail > lead && name[tail - 1] == ' ')
        --tail;
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = (unsigned char)name[i];
        if (c == '&') {
            PUT("&amp;");
        } else if (c < 0x20 || c >= 0x7F || strchr("\"'#%?<>\\:", c) || (c == ' ' && (i < lead || i >= tail))) {
            char code[3] = {'%', hex[c >> 4], hex[c & 0x0F]};
            put(code, 3);
        } else {
            put((const char *)&c, 1);
        }
    }
}

static void put_visible(const char *name)
{
    for (; *name; ++name) {
        unsigned char c = (unsigned char)*name;
        switch (c) {
        case '&': PUT("&amp;"); continue;
        case '<': PUT("&lt;"); continue;
        case '>': PUT("&gt;"); continue;
        case '"': PUT("&quot;"); continue;
        default: break;
        }
        if (c < 0x20 || c >= 0x7F) {
            PUT("&#");
            put_number(c);
            PUT(";");
        } else {
            put((const char *)&c, 1);
        }
    }
}

static void write_page(int folder, const char *folder_name, long long number)
{
    char name[64], temporary[96];
    snprintf(name, sizeof name, "index%lld.htm", number);
    /* a fixed name: one floor at a time per folder, and a crash leaves one stray file at most */
    snprintf(temporary, sizeof temporary, ".%s.floor.tmp", name);
    int fd = openat(folder, temporary, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        fail("cannot create a page in", folder_name);
    for (size_t done = 0; done < page_used;) {
        ssize_t step = write(fd, page + done, page_used - done);
        if (step < 0 && errno == EINTR)
            continue;
        if (step <= 0)
            fail("cannot write a page in", folder_name);
        done += (size_t)step;
    }
    /* no fdatasync: the floor measures the work, not the wait for the disk */
    if (close(fd) != 0 || renameat(folder, temporary, folder, name) != 0)
        fail("cannot write a page in", folder_name);
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fputs("usage: bench_floor FOLDER\n", stderr);
        return 2;
    }
    DIR *dir = opendir(argv[1]);
    if (!dir)
        fail("cannot read", argv[1]);
    int folder = dirfd(dir);
    for (;;) {
        errno = 0;
        struct dirent *entry = readdir(dir);
        if (!entry) {
            if (errno)
                fail("cannot read", argv[1]);
            break;
        }
        size_t length = strlen(entry->d_name);
        if (!is_candidate(entry->d_name, length))
            continue;
#ifdef DT_DIR
        if (entry->d_type == DT_DIR)
            continue;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK)
#endif
        {
            /* vimbrel follows a link to see whether it names a folder */
            struct stat info;
            if (fstatat(folder, entry->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode))
                continue;
        }
        measure(folder, entry->d_name, length);
    }
    qsort(pictures, picture_count, sizeof *pictures, by_name);

    long long number = 1;
    for (size_t first = 0; first < picture_count; first += PER_PAGE, ++number) {
        size_t last = first + PER_PAGE < picture_count ? first + PER_PAGE : picture_count;
        page_used = 0;
        PUT("<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">\r\n"
            "<html>\r\n"
            "\r\n"
            "<head>\r\n"
            "<meta http-equiv=\"Content-Type\"\r\n"
            "content=\"text/html; charset=iso-8859-1\">\r\n"
            "<meta name=\"GENERATOR\" content=\"Microsoft FrontPage 2.0\">\r\n"
            "<title>Home Page</title>\r\n"
            "</head>\r\n"
            "\r\n"
            "\r\n"
            "<p align=\"center\"><font size=\"5\"><strong>By Tasquen</strong></font></p>\r\n"
            "<p align=\"center\"><a href=\"mailto:" CONTACT "\"><font size=\"4\">mailto:" CONTACT
            "</font></a></p>\r\n"
            "<p align=\"center\"><font size=\"5\"><strong>Jpeg/Ani Gif Index ");
        put_number(number);
        PUT("</strong></font></p>\r\n");
        for (size_t i = first; i < last; ++i) {
            const struct picture *p = &pictures[i];
            PUT("<p><img src=\"");
            put_source(arena + p->name);
            PUT("\" width=\"");
            put_number(p->width);
            PUT("\" height=\"");
            put_number(p->height);
            PUT("\"> ");
            put_visible(arena + p->name);
            PUT("  ");
            put_number(p->bytes);
            PUT("</p>\r\n\r\n");
        }
        PUT("<p>&nbsp;</p>\r\n");
        if (last < picture_count) {
            PUT("<p align=\"center\"><a href=\"index");
            put_number(number + 1);
            PUT(".htm\"><font size=\"5\">Index ");
            put_number(number + 1);
            PUT("</font></a></p>\r\n");
        }
        PUT("</body>\r\n</html>\r\n");
        write_page(folder, argv[1], number);
    }
    closedir(dir);
    return 0;
}
