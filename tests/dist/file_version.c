/* Prints what Windows shows in an exe's properties: the fixed file and product versions and the
   FileVersion and ProductVersion strings, one a line. Built with MinGW and run under Wine by
   dist_test.sh, so the version resource is read the way Windows reads it. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

static void print_string(void* info, const char* key) {
  char query[64];
  char* value = NULL;
  UINT size = 0;
  snprintf(query, sizeof query, "\\StringFileInfo\\040904b0\\%s", key);
  if (VerQueryValueA(info, query, (void**)&value, &size) && size > 0)
    printf("%s %s\n", key, value);
  else
    printf("%s missing\n", key);
}

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(argv[1], &ignored);
  void* info = size ? malloc(size) : NULL;
  if (!info || !GetFileVersionInfoA(argv[1], 0, size, info)) {
    printf("no version resource\n");
    return 1;
  }
  VS_FIXEDFILEINFO* fixed = NULL;
  UINT fixed_size = 0;
  if (!VerQueryValueA(info, "\\", (void**)&fixed, &fixed_size) || fixed_size < sizeof *fixed) return 1;
  printf("file %lu.%lu.%lu.%lu\n", fixed->dwFileVersionMS >> 16, fixed->dwFileVersionMS & 0xffff,
         fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xffff);
  printf("product %lu.%lu.%lu.%lu\n", fixed->dwProductVersionMS >> 16, fixed->dwProductVersionMS & 0xffff,
         fixed->dwProductVersionLS >> 16, fixed->dwProductVersionLS & 0xffff);
  print_string(info, "FileVersion");
  print_string(info, "ProductVersion");
  free(info);
  return 0;
}
