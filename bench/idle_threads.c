/* A Windows program that starts N threads which only sleep (each first initialises COM
 * when the second argument is "com"), prints "ready" and sleeps: its resident size under
 * Wine, less that of N = 0, is what a thread costs there, whatever the program does.
 *
 *   x86_64-w64-mingw32-gcc -O2 -o idle_threads.exe bench/idle_threads.c -lole32
 *   wine idle_threads.exe 99 com
 */
#include <windows.h>
#include <objbase.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static DWORD WINAPI Sleeper(void* withCom) {
  if (withCom) CoInitialize(NULL);
  Sleep(INFINITE);
  return 0;
}

int main(int argc, char** argv) {
  const int count = argc > 1 ? atoi(argv[1]) : 0;
  void* withCom = argc > 2 && strcmp(argv[2], "com") == 0 ? (void*)1 : NULL;
  for (int i = 0; i < count; ++i) {
    HANDLE thread = CreateThread(NULL, 0, Sleeper, withCom, 0, NULL);
    if (!thread) return 1;
    CloseHandle(thread);
  }
  printf("ready\n");
  fflush(stdout);
  Sleep(INFINITE);
  return 0;
}
