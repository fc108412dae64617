/* Records, enumerations and entry-point signatures shared by the program and every sound module. */
#ifndef VELMORA_SOUNDDLLTYPES_H
#define VELMORA_SOUNDDLLTYPES_H

/* This header is the whole contract between Velmora and a sound module (libSound*.so).
 * Every layout here crosses the module boundary byte for byte; both sides are built
 * with natural alignment. Strings passed to entry points are NUL-terminated UTF-16
 * (char16_t); strings held inside records are fixed-size UTF-8 arrays, so the two
 * sides never share a string manager. */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#else
typedef uint16_t char16_t;
#endif

/* One WAVEFORMATEX followed by the extensible part, 40 bytes, natural alignment. */
typedef struct TWaveFormatExtensible {
    uint16_t wFormatTag;      /* 0xFFFE = extensible ("WDM" mode), 1 = PCM, 3 = IEEE float */
    uint16_t nChannels;       /* channels of the direction */
    uint32_t nSamplesPerSec;  /* sample rate, Hz */
    uint32_t nAvgBytesPerSec; /* bytes per second */
    uint16_t nBlockAlign;     /* bytes per frame */
    uint16_t wBitsPerSample;  /* container bits per sample */
    uint16_t cbSize;          /* size of the extensible part (22) */
    uint16_t samples;         /* valid bits per sample */
    uint32_t dwChannelMask;   /* speaker positions */
    uint8_t SubFormat[16];    /* format GUID */
} TWaveFormatExtensible;

/* Format and device settings of one direction, 600 bytes. */
typedef struct Twfs {
    int32_t Device;       /* device index within the direction */
    char16_t name[256];   /* device name, UTF-16, NUL-terminated */
    uint8_t cpL;          /* left channel flag (the program sets it false) */
    uint8_t cpR;          /* right channel flag (set false) */
    uint8_t oniL;         /* left channel on */
    uint8_t oniR;         /* right channel on */
    uint8_t mono;         /* mono operation */
    uint8_t chch;         /* swap left and right */
    uint32_t usersf;      /* user sample frequency, Hz */
    double DCoffset[2];   /* DC offset of left and right input, full scale = 1 */
    uint8_t DCoffsetAuto; /* automatic DC offset removal */
    int32_t buffers;      /* number of driver buffers */
    int32_t Latency;      /* ms the measurements wait after starting input */
    uint8_t monoOver;     /* mono signal on both outputs */
    TWaveFormatExtensible Wf; /* wave format of the direction */
} Twfs;

#define VL_TWAF_FUNC_LEN 2048
#define VL_TWAF_LIST_LEN 1024
#define VL_UFNAME_LEN 1024

/* A wave-synthesis formula with its variables (names and values separated by ';'). */
typedef struct TWaf {
    char functionStr[VL_TWAF_FUNC_LEN]; /* the formula, UTF-8 */
    char VnameStr[VL_TWAF_LIST_LEN];    /* variable names, UTF-8 */
    char VvalueStr[VL_TWAF_LIST_LEN];   /* variable values, UTF-8 */
    uint8_t New;                        /* set when the formula was changed */
    uint8_t Valid;                      /* set by a successful check */
} TWaf;

/* The output generator record; owned by the module, written by the program. */
typedef struct TwaveGO {
    double GenFreqR;       /* signal frequency right, Hz */
    double GenFreqL;       /* signal frequency left, Hz */
    double voldB_L;        /* level left, dBFS (sine peak); -192 = silence */
    double voldB_R;        /* level right, dBFS */
    double secfreqR;       /* second frequency of the dual sine, right, Hz */
    double secfreqL;       /* second frequency, left, Hz */
    double secvoldB_L;     /* second level left, dBFS */
    double secvoldB_R;     /* second level right, dBFS */
    uint8_t genOnL;        /* left channel enabled */
    uint8_t genOnR;        /* right channel enabled */
    int32_t phaseL;        /* phase left, degrees */
    int32_t phaseR;        /* phase right, degrees */
    int32_t MLSsize;       /* MLS order */
    int32_t OShotsamples;  /* dirac width in samples */
    int32_t AnzWave;       /* waves per burst */
    int32_t repTime_ms;    /* repetition time of dirac, MLS and burst, ms */
    int32_t Conti;         /* 1 = continuous repetition */
    int32_t modeL;         /* generator mode, left */
    int32_t modeR;         /* generator mode, right */
    char ufname[VL_UFNAME_LEN]; /* sound file name, UTF-8 */
    double outdB_L;        /* output attenuation left, dB */
    double outdB_R;        /* output attenuation right, dB */
    uint8_t wPlaysnd;      /* play a sound file */
    int32_t AnaVol;        /* analogue volume */
    int32_t dualTfunc;     /* dual sine: 0 add, 1 multiply, 2 one tone per channel */
    int32_t ToneDura_ms;   /* tone duration, ms; -1 = endless */
    Twfs wfs;              /* output direction format */
    TWaf WaF;              /* synthesis formula */
} TwaveGO;

/* The input acquisition record; owned by the module. The program uses only these fields;
 * a module may keep more state after them in a larger record of its own. */
typedef struct TwaveGI {
    int32_t OneShotTime_samps; /* samples of one one-shot acquisition */
    int32_t reserved1;         /* the module's */
    int32_t Mode;              /* 1 = asynchronous acquisition, 0 = synchronous */
    int32_t reserved2;         /* the module's */
    Twfs wfs;                  /* input direction format */
} TwaveGI;

/* The part of a sample buffer that crosses the boundary: a module writes at most
 * Fsamples doubles through Fsmpoi (full scale = +-1.0). */
typedef struct TsmView {
    double* Fsmpoi;   /* the samples */
    int32_t Fsamples; /* number of samples */
} TsmView;

/* Which channel carries the reference signal. */
typedef enum tmRefMess { mRefRight = 0, mRefLeft = 1, mRefStereo = 2 } tmRefMess;
/* The two impedance measuring circuits. */
typedef enum tmImpMode { mImpVar1 = 0, mImpVar2 = 1 } tmImpMode;

/* Callbacks (SDSetCallBack ids 1..4: SDProc; 5: pointer to an SDMethod or null;
 * 6: SDOutFilterProc; 200: application object; 1000: const char16_t* folder). */
typedef void (*SDProc)(void);
typedef struct SDMethod {
    void (*code)(void* context); /* called from the module's thread */
    void* context;               /* handed back to code */
} SDMethod;
/* Filters one output sample pair in place, on the module's audio thread. */
typedef void (*SDOutFilterProc)(double* left, double* right);

enum {
    SD_CB_CLEAR = 0, SD_CB_IN_STATE = 1, SD_CB_OUT_STATE = 2, SD_CB_IN_TEXT = 3,
    SD_CB_OUT_TEXT = 4, SD_CB_NEW_BLOCK = 5, SD_CB_OUT_FILTER = 6, SD_CB_APP = 200,
    SD_CB_FOLDER = 1000
};

/* SDgetSoundStatus bits. */
enum {
    SD_ST_IN_RUN = 0x1, SD_ST_OUT_RUN = 0x2, SD_ST_IN_OVER = 0x4, SD_ST_IN_ERR = 0x8,
    SD_ST_OUT_ERR = 0x10, SD_ST_DCOFFSET = 0x1000, SD_ST_MIXER = 0x2000
};

/* SDDLLdescription query codes. */
enum {
    SD_Q_DESCRIPTION = 0, SD_Q_VERSION = 0x2000, SD_Q_IN_DEVICE = 0x10000,
    SD_Q_OUT_DEVICE = 0x20000, SD_Q_FILENAME = 0x30000
};
#define SD_Q_IN_CHANNEL(i) ((100 + (i)) * 0x10000)
#define SD_Q_OUT_CHANNEL(i) ((200 + (i)) * 0x10000)

/* The 21 entry points, in binding order. */
typedef int32_t (*SDInitSound_t)(int32_t flags, const char16_t* appPath);
typedef int32_t (*SDDeInitSound_t)(int32_t value);
typedef int32_t (*SDStartSoundOut_t)(int32_t start);
typedef TwaveGO* (*SDgetSoundOutAdr_t)(int32_t count);
typedef TwaveGI* (*SDgetSoundInAdr_t)(int32_t count);
typedef int32_t (*SDStartSoundIn_t)(int32_t start);
typedef void* (*SDSetCallBack_t)(int32_t id, void* pointer);
typedef int32_t (*SDgetSoundStatus_t)(void);
typedef int32_t (*SDgetsoundDats_t)(int32_t* first, int32_t* second, TsmView** buffer);
typedef int32_t (*SDgetwaveFormatIn_t)(Twfs* wfs);
typedef int32_t (*SDgetwaveFormatOut_t)(Twfs* wfs);
typedef int32_t (*SDsetwaveFormatIn_t)(Twfs* result, Twfs wfs);
typedef int32_t (*SDsetwaveFormatOut_t)(Twfs* result, Twfs wfs);
typedef int32_t (*SDSampleFreqValid_t)(int32_t rate);
typedef int32_t (*SDSoundDlg_t)(int32_t kind);
typedef int32_t (*SDDLLdescription_t)(char16_t* text, int32_t maxLen, int32_t code);
typedef int32_t (*SDDLLErrorStr_t)(int32_t code, char16_t* text, int32_t maxLen);
typedef int32_t (*SDSetFuturePara_t)(int32_t id, int32_t value);
typedef int32_t (*SDGetFuturePara_t)(int32_t id);
typedef int32_t (*SDgetSoundDatsPropsCH_t)(int32_t* inChannels, int32_t* outChannels);
typedef int32_t (*SDgetSoundDatsCH_t)(TsmView** buffers, int32_t lastIndex);

#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(TWaveFormatExtensible) == 40, "wave format is 40 bytes");
static_assert(sizeof(Twfs) == 600, "Twfs is 600 bytes");
static_assert(offsetof(Twfs, name) == 4 && offsetof(Twfs, cpL) == 516, "Twfs layout");
static_assert(offsetof(Twfs, chch) == 521 && offsetof(Twfs, usersf) == 524, "Twfs layout");
static_assert(offsetof(Twfs, DCoffset) == 528 && offsetof(Twfs, DCoffsetAuto) == 544, "Twfs layout");
static_assert(offsetof(Twfs, buffers) == 548 && offsetof(Twfs, Latency) == 552, "Twfs layout");
static_assert(offsetof(Twfs, monoOver) == 556 && offsetof(Twfs, Wf) == 560, "Twfs layout");
static_assert(offsetof(Twfs, Wf) + offsetof(TWaveFormatExtensible, nSamplesPerSec) == 564, "rate");
static_assert(offsetof(Twfs, Wf) + offsetof(TWaveFormatExtensible, wBitsPerSample) == 574, "bits");
static_assert(offsetof(Twfs, Wf) + offsetof(TWaveFormatExtensible, samples) == 578, "valid bits");
static_assert(offsetof(TwaveGI, wfs) == 16, "TwaveGI layout");
static_assert(offsetof(TsmView, Fsmpoi) == 0, "view starts with the sample pointer");
#endif

/* Status returned by a guarded call while no module is usable. */
#define SD_NOT_LOADED 0x70010018

#endif /* VELMORA_SOUNDDLLTYPES_H */
