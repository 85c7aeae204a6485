/* hid.dll and setupapi.dll hold no code of their own: their exports forward to
 * devsim.dll, which answers for both. */
typedef int forwarding_only;
