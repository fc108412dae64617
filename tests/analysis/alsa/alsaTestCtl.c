#define _GNU_SOURCE
/* A software mixer device for the mixer tests: an ALSA control plugin ("vltest") whose controls
 * live in this process, so ALSA's simple mixer runs for real on a machine without a sound card.
 * Values are shared by every handle opened in the process; a write by any handle is reported as
 * a change event to every handle that subscribed. Single-threaded use only. */
#include <alsa/asoundlib.h>
#include <alsa/control_external.h>

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

enum { kChannels = 2, kMaxHandles = 8 };

typedef struct {
    const char* name; /* ALSA control name */
    int isSwitch;     /* boolean, else integer 0..31 */
    long value[kChannels];
} vlControl;

static vlControl controls[] = {
    {"Master Playback Volume", 0, {20, 20}}, {"Master Playback Switch", 1, {1, 1}},
    {"PCM Playback Volume", 0, {10, 10}},    {"PCM Playback Switch", 1, {0, 0}},
    {"Line Playback Volume", 0, {25, 25}},   {"Line Playback Switch", 1, {1, 1}},
    {"Bass Playback Volume", 0, {3, 3}},     {"Treble Playback Volume", 0, {28, 28}},
    {"Line Capture Volume", 0, {5, 5}},      {"Line Capture Switch", 1, {1, 1}},
    {"Mic Capture Volume", 0, {7, 7}},       {"Mic Capture Switch", 1, {0, 0}},
    {"CD Capture Volume", 0, {9, 9}},        {"CD Capture Switch", 1, {0, 0}},
};
enum { kControls = sizeof controls / sizeof controls[0] };

typedef struct {
    snd_ctl_ext_t ext;
    int pipe[2];           /* readable while events wait */
    int subscribed;        /* events wanted */
    unsigned queue[64];    /* changed control keys, oldest first */
    unsigned head, tail;   /* queue positions */
} vlHandle;

static vlHandle* handles[kMaxHandles];

static void announce(unsigned key)
{
    for (int i = 0; i < kMaxHandles; ++i) {
        vlHandle* h = handles[i];
        if (!h || !h->subscribed || h->tail - h->head >= 64) continue;
        h->queue[h->tail++ % 64] = key;
        char b = 1;
        if (write(h->pipe[1], &b, 1) != 1) --h->tail;
    }
}

static void vl_close(snd_ctl_ext_t* ext)
{
    vlHandle* h = ext->private_data;
    for (int i = 0; i < kMaxHandles; ++i)
        if (handles[i] == h) handles[i] = NULL;
    close(h->pipe[0]);
    close(h->pipe[1]);
    free(h);
}

static int vl_count(snd_ctl_ext_t* ext) { (void)ext; return kControls; }

static int vl_list(snd_ctl_ext_t* ext, unsigned int offset, snd_ctl_elem_id_t* id)
{
    (void)ext;
    snd_ctl_elem_id_set_interface(id, SND_CTL_ELEM_IFACE_MIXER);
    snd_ctl_elem_id_set_name(id, controls[offset].name);
    return 0;
}

static snd_ctl_ext_key_t vl_find(snd_ctl_ext_t* ext, const snd_ctl_elem_id_t* id)
{
    (void)ext;
    const char* name = snd_ctl_elem_id_get_name(id);
    for (unsigned i = 0; i < kControls; ++i)
        if (!strcmp(name, controls[i].name)) return i;
    return SND_CTL_EXT_KEY_NOT_FOUND;
}

static int vl_attr(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, int* type, unsigned int* acc, unsigned int* count)
{
    (void)ext;
    *type = controls[key].isSwitch ? SND_CTL_ELEM_TYPE_BOOLEAN : SND_CTL_ELEM_TYPE_INTEGER;
    *acc = SND_CTL_EXT_ACCESS_READWRITE;
    *count = kChannels;
    return 0;
}

static int vl_intinfo(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* lo, long* hi, long* step)
{
    (void)ext;
    *lo = 0;
    *hi = controls[key].isSwitch ? 1 : 31;
    *step = 1;
    return 0;
}

static int vl_read(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* value)
{
    (void)ext;
    memcpy(value, controls[key].value, sizeof controls[key].value);
    return 0;
}

static int vl_write(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* value)
{
    (void)ext;
    if (!memcmp(value, controls[key].value, sizeof controls[key].value)) return 0;
    memcpy(controls[key].value, value, sizeof controls[key].value);
    announce((unsigned)key);
    return 1;
}

static void vl_subscribe(snd_ctl_ext_t* ext, int on) { ((vlHandle*)ext->private_data)->subscribed = on; }

static int vl_event(snd_ctl_ext_t* ext, snd_ctl_elem_id_t* id, unsigned int* mask)
{
    vlHandle* h = ext->private_data;
    char b;
    if (h->head == h->tail || read(h->pipe[0], &b, 1) != 1) return -EAGAIN;
    const unsigned key = h->queue[h->head++ % 64];
    snd_ctl_elem_id_set_interface(id, SND_CTL_ELEM_IFACE_MIXER);
    snd_ctl_elem_id_set_name(id, controls[key].name);
    *mask = SND_CTL_EVENT_MASK_VALUE;
    return 1;
}

static const snd_ctl_ext_callback_t callbacks = {
    .close = vl_close, .elem_count = vl_count, .elem_list = vl_list, .find_elem = vl_find,
    .get_attribute = vl_attr, .get_integer_info = vl_intinfo, .read_integer = vl_read,
    .write_integer = vl_write, .subscribe_events = vl_subscribe, .read_event = vl_event,
};

SND_CTL_PLUGIN_DEFINE_FUNC(vltest)
{
    (void)root;
    (void)conf;
    vlHandle* h = calloc(1, sizeof *h);
    if (!h) return -ENOMEM;
    if (pipe2(h->pipe, O_NONBLOCK | O_CLOEXEC) < 0) {
        free(h);
        return -errno;
    }
    h->ext.version = SND_CTL_EXT_VERSION;
    h->ext.card_idx = 0;
    strcpy(h->ext.id, "vltest");
    strcpy(h->ext.driver, "vltest");
    strcpy(h->ext.name, "Velmora test mixer");
    strcpy(h->ext.longname, "Velmora software test mixer");
    strcpy(h->ext.mixername, "Velmora test mixer");
    h->ext.poll_fd = h->pipe[0];
    h->ext.callback = &callbacks;
    h->ext.private_data = h;
    const int err = snd_ctl_ext_create(&h->ext, name, mode);
    if (err < 0) {
        close(h->pipe[0]);
        close(h->pipe[1]);
        free(h);
        return err;
    }
    for (int i = 0; i < kMaxHandles; ++i)
        if (!handles[i]) {
            handles[i] = h;
            break;
        }
    *handlep = h->ext.handle;
    return 0;
}

SND_CTL_PLUGIN_SYMBOL(vltest);
