/* Entry point of the sample linked with lld-link against qrlink00.lib without a
 * Microsoft C runtime: calls main and ends the process with its result. */
int main(void);
__declspec(dllimport) void __stdcall ExitProcess(unsigned int code);

void __cdecl mainCRTStartup(void)
{
    ExitProcess((unsigned int)main());
}
