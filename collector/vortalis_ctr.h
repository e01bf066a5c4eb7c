// Counter text symbols of the VORTALIS performance object, for the counter loader.
// Each value is an offset from the first counter index (names) and from the first
// help index (help texts): the object's texts at 0, counter k's at 2(k + 1).
#define QMCHANNELS 0
#define MESSAGES 2
#define BYTES_SENT 4
#define BYTES_RECEIVED 6
#define STATUS_COUNT_1976 8
#define STATUS_COUNT_1984 10
#define STATUS_COUNT_1988 12
#define STATUS_COUNT_1992 14
#define STATUS_COUNT_1996 16
#define STATUS_COUNT_1928 18
#define STATUS_COUNT_308 20
#define STATUS_COUNT_1940 22
#define STATUS_COUNT_1944 24
#define BYTES_SENT_PER_SEC 26
#define BYTES_RECEIVED_PER_SEC 28
#define MESSAGES_PER_SEC 30
