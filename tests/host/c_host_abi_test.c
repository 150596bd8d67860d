/* A host written in C: it lays out CCom's and CCon's tables of function
 * pointers by hand and drives talvenor.dll through every CCom slot, so a
 * change of slot order, calling convention or CString layout shows here.
 * It exports two of the CCon statics under their C++ names, as a C++ host
 * built with NUVEX_HOST does, and leaves the others out: the module must find
 * those it has and do without the rest. Exit status 0 when all holds; each
 * failure is printed. */
#include <winsock2.h>
#include <windows.h>

#include <stdio.h>
#include <string.h>

#if defined(__i386__)
#define SLOT __attribute__((thiscall))
#else
#define SLOT
#endif

/* std::string of GCC's C++ library: data pointer, length, then a 16-byte
 * buffer that holds texts of up to 15 characters itself, or else the
 * capacity of the text the pointer points to. */
typedef struct {
  char* data;
  size_t length;
  union {
    char local[16];
    size_t capacity;
  } u;
} CString;

/* The module only reads the texts a host hands it: a longer one may point
 * to the caller's buffer, which outlives the call. */
static void Text(CString* text, char* value) {
  text->length = strlen(value);
  if (text->length < sizeof text->u.local) {
    memcpy(text->u.local, value, text->length + 1);
    text->data = text->u.local;
  } else {
    text->data = value;
    text->u.capacity = text->length;
  }
}

typedef struct CCom CCom;
struct CComTable {
  int(SLOT* ShowOptions)(CCom*);
  void(SLOT* Shutdown)(CCom*);
  int(SLOT* PlaceCall)(CCom*, void*, int, const CString*, const CString*, const CString*, const CString*);
  void(SLOT* HangUp)(CCom*, int);
  void(SLOT* Answer)(CCom*, int, int, int, int);
  void(SLOT* ReleaseFrame)(CCom*, int, int);
  void(SLOT* SendAudio)(CCom*, int, const short*, int, int);
  void(SLOT* ReleaseLine)(CCom*, int, int);
};
struct CCom {
  const struct CComTable* table;
};

typedef struct Connection Connection;
struct CConTable {
  void(SLOT* OnConnected)(Connection*, int, int);
  void(SLOT* OnDisconnected)(Connection*, int);
  void(SLOT* OnAudioSent)(Connection*);
  void(SLOT* OnAudioReceived)(Connection*, const short*, int, int);
  void(SLOT* OnCallInfo)(Connection*, const CString*);
};
struct Connection {
  const struct CConTable* table;
  volatile LONG disconnected;
  volatile LONG reason;
  volatile LONG infos;
  volatile LONG afterDisconnect;
  volatile LONG audioSent;
};

static void SLOT OnConnected(Connection* self, int a, int b) {
  (void)a, (void)b;
  if (self->disconnected) InterlockedIncrement(&self->afterDisconnect);
}
static void SLOT OnDisconnected(Connection* self, int reason) {
  if (self->disconnected) InterlockedIncrement(&self->afterDisconnect);
  self->reason = reason;
  InterlockedExchange(&self->disconnected, 1);
}
static void SLOT OnAudioSent(Connection* self) { InterlockedIncrement(&self->audioSent); }
static void SLOT OnAudioReceived(Connection* self, const short* samples, int bytes, int unused) {
  (void)samples, (void)bytes, (void)unused;
  if (self->disconnected) InterlockedIncrement(&self->afterDisconnect);
}
static void SLOT OnCallInfo(Connection* self, const CString* text) {
  if (self->disconnected) InterlockedIncrement(&self->afterDisconnect);
  if (text->data != NULL && strlen(text->data) == text->length) InterlockedIncrement(&self->infos);
}
static const struct CConTable kConnectionTable = {OnConnected, OnDisconnected, OnAudioSent, OnAudioReceived,
                                                  OnCallInfo};

/* CCon::IsClose and CCon::OnClose, found by the module in this executable. */
static volatile LONG isCloseCalls;
static volatile LONG onCloseCalls;
__declspec(dllexport) int _ZN4CCon7IsCloseEv(void) {
  InterlockedIncrement(&isCloseCalls);
  return 0;
}
__declspec(dllexport) void _ZN4CCon7OnCloseEv(void) { InterlockedIncrement(&onCloseCalls); }

static int failures;
#define CHECK(condition, what)                   \
  do {                                           \
    if (!(condition)) {                          \
      printf("c_host_abi_test: FAIL: %s\n", what); \
      ++failures;                                \
    }                                            \
  } while (0)

/* Waits up to `ms` for a datagram on `peer`, handing this thread's window
 * messages on meanwhile: the module's timer ticks arrive as such. */
static int ReceiveWithMessages(SOCKET peer, char* buffer, int size, int ms) {
  DWORD end = GetTickCount() + (DWORD)ms;
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(peer, &ready);
    struct timeval slice = {0, 20000};
    if (select(0, &ready, NULL, NULL, &slice) == 1) return recv(peer, buffer, size - 1, 0);
    if ((LONG)(GetTickCount() - end) >= 0) return -1;
  }
}

static void PumpFor(int ms) {
  char ignored[2048];
  SOCKET none = socket(AF_INET, SOCK_DGRAM, 0);
  struct sockaddr_in any = {0};
  any.sin_family = AF_INET;
  any.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(none, (struct sockaddr*)&any, sizeof any);
  ReceiveWithMessages(none, ignored, sizeof ignored, ms);
  closesocket(none);
}

static DWORD WINAPI ShowOptionsThread(LPVOID module) {
  CCom* com = (CCom*)module;
  return (DWORD)com->table->ShowOptions(com);
}

static unsigned short FreePort(SOCKET* kept) {
  struct sockaddr_in address = {0};
  int length = sizeof address;
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  *kept = socket(AF_INET, SOCK_DGRAM, 0);
  bind(*kept, (struct sockaddr*)&address, sizeof address);
  getsockname(*kept, (struct sockaddr*)&address, &length);
  return ntohs(address.sin_port);
}

int main(void) {
  WSADATA winsock;
  WSAStartup(MAKEWORD(2, 2), &winsock);
  SOCKET farEnd, probe;
  unsigned short farPort = FreePort(&farEnd);
  unsigned short sipPort = FreePort(&probe);
  closesocket(probe);

  /* The module's profile: its own SIP port, on 127.0.0.1. */
  char port[32];
  snprintf(port, sizeof port, "0,0,%u", sipPort);
  RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Kestravon\\talvenor\\Settings", "Port", REG_SZ, port,
                  (DWORD)strlen(port) + 1);
  SetEnvironmentVariableA("NUVEX_SIPADDR", "7F000001");

  HMODULE library = LoadLibraryW(L"talvenor.dll");
  CHECK(library != NULL, "talvenor.dll loads");
  if (library == NULL) return 1;
  typedef CCom* (*CreateComFunction)(void);
  CreateComFunction create = (CreateComFunction)(void (*)(void))GetProcAddress(library, "CreateCom");
  CHECK(create != NULL, "CreateCom is exported undecorated");
  if (create == NULL) return 1;
  CCom* com = create();
  CHECK(com != NULL, "CreateCom starts the module");
  if (com == NULL) return 1;

  /* Slots 2, 6, 5, 4, 3 and 7 on an outgoing call to our socket. */
  Connection connection = {&kConnectionTable, 0, 0, 0, 0, 0};
  CString destination, user, name, fourth;
  char address[64];
  snprintf(address, sizeof address, "carol@127.0.0.1:%u", farPort);
  Text(&destination, address);
  char bob[] = "bob", host[] = "C Host", empty[] = "";
  Text(&user, bob);
  Text(&name, host);
  Text(&fourth, empty);
  int line = com->table->PlaceCall(com, &connection, 0, &destination, &user, &name, &fourth);
  CHECK(line >= 0 && line < 4, "PlaceCall returns a line");
  char datagram[4096];
  int length = ReceiveWithMessages(farEnd, datagram, sizeof datagram, 5000);
  if (length > 0) datagram[length] = '\0';
  CHECK(length > 0 && strncmp(datagram, "INVITE sip:carol@127.0.0.1:", 27) == 0,
        "the INVITE reaches the far end, addressed to the destination given");
  CHECK(length > 0 && strstr(datagram, "<sip:bob@") != NULL, "the INVITE comes from the user id given");
  short samples[320] = {0};
  com->table->SendAudio(com, line, samples, sizeof samples, 0);
  com->table->ReleaseFrame(com, line, 0);
  com->table->Answer(com, line, 0, 0, 0); /* an outgoing line: nothing to answer */
  com->table->HangUp(com, line);
  for (int waited = 0; waited < 100 && !connection.disconnected; ++waited) PumpFor(50);
  CHECK(connection.disconnected, "HangUp ends the call with OnDisconnected");
  CHECK(connection.infos > 0, "OnCallInfo brings a CString the host can read");
  com->table->ReleaseLine(com, line, 0);
  Connection second = {&kConnectionTable, 0, 0, 0, 0, 0};
  int again = com->table->PlaceCall(com, &second, 0, &destination, &user, &name, &fourth);
  CHECK(again >= 0, "the released line takes a new call");
  if (again >= 0) {
    com->table->HangUp(com, again);
    com->table->ReleaseLine(com, again, 0);
  }

  /* The host's IsClose is asked when an INVITE comes in. */
  struct sockaddr_in module = {0};
  module.sin_family = AF_INET;
  module.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  module.sin_port = htons(sipPort);
  char invite[1024];
  snprintf(invite, sizeof invite,
           "INVITE sip:alice@127.0.0.1:%u SIP/2.0\r\nVia: SIP/2.0/UDP 127.0.0.1:%u;branch=z9hG4bKc1\r\n"
           "From: <sip:carol@127.0.0.1>;tag=c1\r\nTo: <sip:alice@127.0.0.1>\r\nCall-ID: c-host-1\r\n"
           "CSeq: 1 INVITE\r\nContact: <sip:carol@127.0.0.1:%u>\r\nMax-Forwards: 70\r\nContent-Length: 0\r\n\r\n",
           sipPort, farPort, farPort);
  sendto(farEnd, invite, (int)strlen(invite), 0, (struct sockaddr*)&module, sizeof module);
  for (int waited = 0; waited < 100 && isCloseCalls == 0; ++waited) PumpFor(50);
  CHECK(isCloseCalls > 0, "the module calls the IsClose this executable exports");

  /* Slot 0: a second ShowOptions closes the open sheet; both return FALSE. */
  if (GetEnvironmentVariableA("DISPLAY", NULL, 0) > 0) {
    HANDLE shower = CreateThread(NULL, 0, ShowOptionsThread, com, 0, NULL);
    PumpFor(1500);
    CHECK(com->table->ShowOptions(com) == 0, "ShowOptions while a sheet is open returns FALSE");
    CHECK(WaitForSingleObject(shower, 10000) == WAIT_OBJECT_0, "the open sheet closes");
    DWORD shown = 1;
    GetExitCodeThread(shower, &shown);
    CHECK(shown == 0, "the closed sheet returns FALSE");
    CloseHandle(shower);
  }

  /* Slot 1, then nothing more for the ended call. */
  com->table->Shutdown(com);
  CHECK(connection.afterDisconnect == 0, "no call for a line after its OnDisconnected");
  FreeLibrary(library);
  closesocket(farEnd);
  WSACleanup();
  if (failures == 0) printf("c_host_abi_test: every slot answered\n");
  return failures == 0 ? 0 : 1;
}
