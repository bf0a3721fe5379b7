/* Reads what an installer page says, for the release tests under wine,
 * where no window manager or accessibility layer can.
 *
 *   page_text TITLE MARKER [--next]
 *
 * Waits for a top-level window whose title starts with TITLE, then prints
 * the text of every control in it once one of them contains MARKER. With
 * --next it presses the wizard's Next button (control 1) until then, which
 * walks an installer to a later page. Exits 1 when MARKER is not shown
 * within a minute. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

struct Search {
    const char* title;
    HWND found;
};

static BOOL CALLBACK match_title(HWND window, LPARAM data) {
    struct Search* search = (struct Search*)data;
    char title[256];
    if (IsWindowVisible(window) && GetWindowTextA(window, title, sizeof title) > 0 &&
        strncmp(title, search->title, strlen(search->title)) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

struct Texts {
    char all[16384];
    size_t used;
};

static BOOL CALLBACK gather(HWND control, LPARAM data) {
    struct Texts* texts = (struct Texts*)data;
    char text[4096];
    /* WM_GETTEXT rather than GetWindowText: the latter reads no text of a
     * control in another process. */
    LRESULT length = SendMessageA(control, WM_GETTEXT, sizeof text, (LPARAM)text);
    if (length > 0 && IsWindowVisible(control) && texts->used + (size_t)length + 2 < sizeof texts->all) {
        memcpy(texts->all + texts->used, text, (size_t)length);
        texts->used += (size_t)length;
        texts->all[texts->used++] = '\n';
        texts->all[texts->used] = '\0';
    }
    return TRUE;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: page_text TITLE MARKER [--next]\n");
        return 2;
    }
    int press_next = argc > 3 && strcmp(argv[3], "--next") == 0;
    struct Search search = {argv[1], NULL};
    for (int tick = 0; tick < 240; ++tick, Sleep(250)) {
        search.found = NULL;
        EnumWindows(match_title, (LPARAM)&search);
        if (!search.found) continue;
        struct Texts texts = {{0}, 0};
        EnumChildWindows(search.found, gather, (LPARAM)&texts);
        if (strstr(texts.all, argv[2])) {
            fputs(texts.all, stdout);
            return 0;
        }
        HWND next = GetDlgItem(search.found, 1);
        if (press_next && next && IsWindowEnabled(next) && tick % 4 == 3)
            PostMessageA(search.found, WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), (LPARAM)next);
    }
    fprintf(stderr, "page_text: no page of \"%s\" showed \"%s\"\n", argv[1], argv[2]);
    return 1;
}
