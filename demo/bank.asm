; Banks 4 to 7 of the demo cartridge: free for more data; each carries its
; number, so paging mistakes show in a memory dump. Assembled once per bank
; with BANK predefined.
        include "demo.inc"

        org BANK_WINDOW
        db "TIRAVEL DEMO BANK ", '0' + BANK, 0
        ds BANK_WINDOW + 0x4000 - $, 0xFF
