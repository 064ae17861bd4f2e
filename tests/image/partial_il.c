/* A stand-in for DevIL that lacks "ilTexImage": every other entry point of
   the binding is here (never called), so loading must stop at the last one. */
void ilInit(void) {}
void ilShutDown(void) {}
int ilEnable(int m) { return m; }
int ilDisable(int m) { return m; }
void ilSetInteger(int m, int v) { (void)m; (void)v; }
void ilGenImages(int n, int* i) { (void)n; (void)i; }
void ilDeleteImages(int n, int* i) { (void)n; (void)i; }
void ilBindImage(int i) { (void)i; }
int ilGetInteger(int m) { return m; }
int ilLoadImage(const char* f) { return f != 0; }
int ilLoadL(int t, const void* p, int n) { return t + n + (p != 0); }
int ilSaveImage(const char* f) { return f != 0; }
int ilCloneCurImage(void) { return 0; }
int ilConvertImage(int a, int b) { return a + b; }
int ilCopyPixels(void) { return 0; }
void ilSetPixels(void) {}
void* ilGetData(void) { return 0; }
