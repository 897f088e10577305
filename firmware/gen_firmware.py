#!/usr/bin/env python3
"""Generate the two built-in firmware images as Intel HEX.

Tvn_252_V22.hex  for the PIC18F252  (boot block of 384 words)
Tvn_2520_V23.hex for the PIC18F2520 (boot block of 1024 words)

Each image is a small PIC18 program: reset and interrupt vectors, a serial boot
loader in the boot block, the application's vectors right after it, a main loop
with its tasks, and task modules, lookup tables and calibration data spread over
all four quarters of the 32 KB of program memory, with erased gaps between them.
The PIC18F2520 image has CR LF line ends, as a Windows tool chain writes them,
the PIC18F252 image LF: the reader takes both. The output is deterministic; run
it again after a change and commit the .hex.

    python3 firmware/gen_firmware.py [OUTDIR]
"""
import os
import random
import sys

# --- special function registers (access bank, a = 0) -----------------------
SFR = dict(
    PORTA=0x80, PORTB=0x81, PORTC=0x82, LATA=0x89, LATB=0x8A, LATC=0x8B,
    TRISA=0x92, TRISB=0x93, TRISC=0x94, PIE1=0x9D, PIR1=0x9E, IPR1=0x9F,
    EECON1=0xA6, EECON2=0xA7, EEDATA=0xA8, EEADR=0xA9, RCSTA=0xAB, TXSTA=0xAC,
    TXREG=0xAD, RCREG=0xAE, SPBRG=0xAF, CCP1CON=0xBD, CCPR1L=0xBE, ADCON1=0xC1,
    ADCON0=0xC2, ADRESL=0xC3, ADRESH=0xC4, ADCON2=0xC0, T2CON=0xCA, PR2=0xCB,
    T1CON=0xCD, TMR1L=0xCE, TMR1H=0xCF, RCON=0xD0, OSCCON=0xD3, T0CON=0xD5,
    TMR0L=0xD6, TMR0H=0xD7, STATUS=0xD8, WREG=0xE8, FSR0L=0xE9, POSTINC0=0xEE,
    INDF0=0xEF, INTCON=0xF2, PRODL=0xF3, PRODH=0xF4, TABLAT=0xF5, TBLPTRL=0xF6,
    TBLPTRH=0xF7, TBLPTRU=0xF8, PCLATH=0xFA, STKPTR=0xFC,
)
W, F = 0, 1  # destination bit of byte-oriented instructions


class Asm:
    """Just enough of a PIC18 assembler: absolute placement, labels, fix-ups."""

    def __init__(self):
        self.mem = {}       # byte address -> byte
        self.pc = 0
        self.labels = {}
        self.fixups = []    # (address, kind, label)

    def org(self, addr):
        assert addr % 2 == 0
        self.pc = addr

    def label(self, name):
        assert name not in self.labels, name
        self.labels[name] = self.pc

    def word(self, w):
        assert 0 <= w <= 0xFFFF
        assert self.pc not in self.mem, hex(self.pc)
        self.mem[self.pc] = w & 0xFF
        self.mem[self.pc + 1] = w >> 8
        self.pc += 2

    def data(self, bytes_):
        for b in bytes_:
            assert self.pc not in self.mem, hex(self.pc)
            self.mem[self.pc] = b & 0xFF
            self.pc += 1
        if self.pc % 2:
            self.mem[self.pc] = 0xFF
            self.pc += 1

    # literal and control
    def nop(self): self.word(0x0000)
    def movlw(self, k): self.word(0x0E00 | k & 0xFF)
    def addlw(self, k): self.word(0x0F00 | k & 0xFF)
    def andlw(self, k): self.word(0x0B00 | k & 0xFF)
    def iorlw(self, k): self.word(0x0900 | k & 0xFF)
    def xorlw(self, k): self.word(0x0A00 | k & 0xFF)
    def sublw(self, k): self.word(0x0800 | k & 0xFF)
    def mullw(self, k): self.word(0x0D00 | k & 0xFF)
    def retlw(self, k): self.word(0x0C00 | k & 0xFF)
    def movlb(self, k): self.word(0x0100 | k & 0x0F)
    def ret(self): self.word(0x0012)
    def retfie(self, fast=0): self.word(0x0010 | fast)
    def clrwdt(self): self.word(0x0004)
    def reset(self): self.word(0x00FF)
    def tblrd_postinc(self): self.word(0x0009)
    def tblwt_postinc(self): self.word(0x000D)
    def tblwt(self): self.word(0x000C)

    # byte-oriented: f is an access-bank address (GPR 00h-7Fh or SFR 80h-FFh)
    def _bf(self, op, f, d=F): self.word(op | d << 9 | f & 0xFF)
    def movf(self, f, d=W): self._bf(0x5000, f, d)
    def addwf(self, f, d=F): self._bf(0x2400, f, d)
    def addwfc(self, f, d=F): self._bf(0x2000, f, d)
    def subwf(self, f, d=F): self._bf(0x5C00, f, d)
    def andwf(self, f, d=F): self._bf(0x1400, f, d)
    def iorwf(self, f, d=F): self._bf(0x1000, f, d)
    def xorwf(self, f, d=F): self._bf(0x1800, f, d)
    def incf(self, f, d=F): self._bf(0x2800, f, d)
    def decf(self, f, d=F): self._bf(0x0400, f, d)
    def rlcf(self, f, d=F): self._bf(0x3400, f, d)
    def rrcf(self, f, d=F): self._bf(0x3000, f, d)
    def swapf(self, f, d=F): self._bf(0x3800, f, d)
    def comf(self, f, d=F): self._bf(0x1C00, f, d)
    def decfsz(self, f, d=F): self._bf(0x2C00, f, d)
    def incfsz(self, f, d=F): self._bf(0x3C00, f, d)
    def movwf(self, f): self.word(0x6E00 | f & 0xFF)
    def clrf(self, f): self.word(0x6A00 | f & 0xFF)
    def setf(self, f): self.word(0x6800 | f & 0xFF)
    def cpfseq(self, f): self.word(0x6200 | f & 0xFF)
    def tstfsz(self, f): self.word(0x6600 | f & 0xFF)
    def mulwf(self, f): self.word(0x0200 | f & 0xFF)
    def bsf(self, f, b): self.word(0x8000 | b << 9 | f & 0xFF)
    def bcf(self, f, b): self.word(0x9000 | b << 9 | f & 0xFF)
    def btfss(self, f, b): self.word(0xA000 | b << 9 | f & 0xFF)
    def btfsc(self, f, b): self.word(0xB000 | b << 9 | f & 0xFF)
    def btg(self, f, b): self.word(0x7000 | b << 9 | f & 0xFF)

    def movff(self, src, dst):  # 12-bit file addresses
        self.word(0xC000 | src & 0xFFF)
        self.word(0xF000 | dst & 0xFFF)

    def lfsr(self, n, k):
        self.word(0xEE00 | n << 4 | k >> 8 & 0x0F)
        self.word(0xF000 | k & 0xFF)

    # program-flow with labels, resolved at the end
    def _ref(self, kind, target, words):
        self.fixups.append((self.pc, kind, target))
        for _ in range(words):
            self.word(0)

    def goto(self, t): self._ref('goto', t, 2)
    def call(self, t): self._ref('call', t, 2)
    def bra(self, t): self._ref('bra', t, 1)
    def rcall(self, t): self._ref('rcall', t, 1)
    def bz(self, t): self._ref(0xE0, t, 1)
    def bnz(self, t): self._ref(0xE1, t, 1)
    def bc(self, t): self._ref(0xE2, t, 1)
    def bnc(self, t): self._ref(0xE3, t, 1)
    def bn(self, t): self._ref(0xE6, t, 1)

    def tblptr(self, addr):
        self.movlw(addr >> 16); self.movwf(SFR['TBLPTRU'])
        self.movlw(addr >> 8); self.movwf(SFR['TBLPTRH'])
        self.movlw(addr); self.movwf(SFR['TBLPTRL'])

    def resolve(self):
        for at, kind, target in self.fixups:
            dest = self.labels[target] if isinstance(target, str) else target
            if kind in ('goto', 'call'):
                k = dest >> 1
                first = (0xEF00 if kind == 'goto' else 0xEC00) | k & 0xFF
                words = [first, 0xF000 | k >> 8 & 0xFFF]
            else:
                n = (dest - (at + 2)) >> 1
                if kind in ('bra', 'rcall'):
                    assert -1024 <= n < 1024, (target, n)
                    words = [(0xD000 if kind == 'bra' else 0xD800) | n & 0x7FF]
                else:
                    assert -128 <= n < 128, (target, n)
                    words = [kind << 8 | n & 0xFF]
            for i, w in enumerate(words):
                self.mem[at + 2 * i] = w & 0xFF
                self.mem[at + 2 * i + 1] = w >> 8


# --- RAM map of the application (access bank) ------------------------------
RAM = dict(state=0x00, flags=0x01, tick=0x02, cnt=0x03, tmp=0x04, tmp2=0x05,
           rxbuf=0x06, txbuf=0x07, crc_lo=0x08, crc_hi=0x09, acc_lo=0x0A,
           acc_hi=0x0B, chan=0x0C, err=0x0D, cmd=0x0E, len=0x0F)
GPR_POOL = list(range(0x10, 0x60))


def boot_block(a, chip):
    """Reset vector, interrupt redirects and the serial boot loader."""
    boot_end = chip['boot_words'] * 2
    a.org(0x0000)
    a.goto('boot_start')
    a.org(0x0008)
    a.goto(boot_end + 0x08)      # interrupts belong to the application
    a.org(0x0018)
    a.goto(boot_end + 0x18)
    a.org(0x0020)
    a.label('boot_start')
    a.clrf(SFR['INTCON'])
    if chip['name'] == '2520':
        a.movlw(0x72); a.movwf(SFR['OSCCON'])   # 8 MHz internal while booting
        a.movlw(0x0F); a.movwf(SFR['ADCON1'])
    else:
        a.movlw(0x06); a.movwf(SFR['ADCON1'])
    a.bsf(SFR['TRISB'], 0)
    a.btfsc(SFR['PORTB'], 0)     # RB0 low at reset: stay in the boot loader
    a.goto(boot_end)
    # UART: 19200 Bd
    a.movlw(chip['spbrg']); a.movwf(SFR['SPBRG'])
    a.movlw(0x24); a.movwf(SFR['TXSTA'])
    a.movlw(0x90); a.movwf(SFR['RCSTA'])
    a.bsf(SFR['TRISC'], 7); a.bcf(SFR['TRISC'], 6)
    a.label('boot_loop')
    a.clrwdt()
    a.rcall('boot_getc')
    a.movwf(RAM['cmd'])
    for code, handler in ((0x52, 'boot_read'), (0x45, 'boot_erase'),
                          (0x57, 'boot_write'), (0x56, 'boot_version'),
                          (0x58, 'boot_exit')):
        a.movf(RAM['cmd'], W); a.xorlw(code); a.bz(handler)
    a.movlw(0x3F); a.rcall('boot_putc')
    a.bra('boot_loop')

    a.label('boot_getc')
    a.clrwdt()
    a.btfss(SFR['PIR1'], 5)
    a.bra('boot_getc')
    a.btfsc(SFR['RCSTA'], 1)     # overrun: restart the receiver
    a.bcf(SFR['RCSTA'], 4)
    a.bsf(SFR['RCSTA'], 4)
    a.movf(SFR['RCREG'], W)
    a.ret()

    a.label('boot_putc')
    a.btfss(SFR['TXSTA'], 1)
    a.bra('boot_putc')
    a.movwf(SFR['TXREG'])
    a.ret()

    a.label('boot_addr')         # three address bytes into TBLPTR
    a.rcall('boot_getc'); a.movwf(SFR['TBLPTRU'])
    a.rcall('boot_getc'); a.movwf(SFR['TBLPTRH'])
    a.rcall('boot_getc'); a.movwf(SFR['TBLPTRL'])
    a.ret()

    a.label('boot_read')
    a.rcall('boot_addr')
    a.rcall('boot_getc'); a.movwf(RAM['len'])
    a.label('boot_read_next')
    a.tblrd_postinc()
    a.movf(SFR['TABLAT'], W)
    a.rcall('boot_putc')
    a.decfsz(RAM['len'], F)
    a.bra('boot_read_next')
    a.bra('boot_loop')

    a.label('boot_unlock')       # the flash write sequence
    a.movlw(0x55); a.movwf(SFR['EECON2'])
    a.movlw(0xAA); a.movwf(SFR['EECON2'])
    a.bsf(SFR['EECON1'], 1)
    a.nop()
    a.ret()

    a.label('boot_erase')
    a.rcall('boot_addr')
    a.movlw(0x94); a.movwf(SFR['EECON1'])   # EEPGD, FREE, WREN
    a.rcall('boot_unlock')
    a.bcf(SFR['EECON1'], 2)
    a.movlw(0x4B); a.rcall('boot_putc')
    a.bra('boot_loop')

    a.label('boot_write')
    a.rcall('boot_addr')
    a.movlw(chip['write_block']); a.movwf(RAM['len'])
    a.label('boot_write_next')
    a.rcall('boot_getc')
    a.movwf(SFR['TABLAT'])
    a.tblwt_postinc()
    a.decfsz(RAM['len'], F)
    a.bra('boot_write_next')
    a.movlw(0xFF); a.addwf(SFR['TBLPTRL'], F)  # back inside the block
    a.movlw(0x84); a.movwf(SFR['EECON1'])      # EEPGD, WREN
    a.rcall('boot_unlock')
    a.bcf(SFR['EECON1'], 2)
    a.movlw(0x4B); a.rcall('boot_putc')
    a.bra('boot_loop')

    a.label('boot_version')
    for ch in chip['banner']:
        a.movlw(ord(ch)); a.rcall('boot_putc')
    a.bra('boot_loop')

    a.label('boot_exit')
    a.clrf(SFR['RCSTA'])
    a.reset()
    assert a.pc <= boot_end, 'boot loader overflows the boot block'
    # calibration words at the very end of the boot block
    a.org(boot_end - 8)
    a.data(chip['calibration'])


def random_routine(a, rng, name, callees, sfr_bits):
    """A task routine: register arithmetic, bit tests, short loops, calls."""
    a.label(name)
    body = rng.randint(18, 70)
    local = 0
    for _ in range(body):
        r = rng.random()
        g = rng.choice(GPR_POOL)
        if r < 0.16:
            a.movf(g, W); getattr(a, rng.choice(['addwf', 'xorwf', 'iorwf', 'andwf', 'subwf']))(rng.choice(GPR_POOL), F)
        elif r < 0.28:
            a.movlw(rng.randrange(256)); a.movwf(g)
        elif r < 0.38:
            f, b = rng.choice(sfr_bits)
            getattr(a, rng.choice(['bsf', 'bcf', 'btg']))(f, b)
        elif r < 0.50:
            getattr(a, rng.choice(['incf', 'decf', 'rlcf', 'rrcf', 'swapf', 'comf']))(g, rng.choice([W, F]))
        elif r < 0.58:
            a.movff(0x000 + g, 0x100 + rng.randrange(0x80))   # keep a copy in bank 1
        elif r < 0.66 and callees:
            a.call(rng.choice(callees))
        elif r < 0.74:
            lbl = f'{name}_l{local}'
            local += 1
            a.movlw(rng.randint(2, 9)); a.movwf(RAM['cnt'])
            a.label(lbl)
            a.movf(SFR['POSTINC0'], W); a.addwf(RAM['acc_lo'], F)
            a.movlw(0); a.addwfc(RAM['acc_hi'], F)
            a.decfsz(RAM['cnt'], F)
            a.bra(lbl)
        elif r < 0.82:
            skip = f'{name}_s{local}'
            local += 1
            a.movf(g, W); a.xorlw(rng.randrange(256))
            a.bnz(skip)
            a.incf(RAM['err'], F); a.bsf(RAM['flags'], rng.randrange(8))
            a.label(skip)
        elif r < 0.88:
            a.movf(g, W); a.mullw(rng.randrange(1, 256))
            a.movf(SFR['PRODH'], W); a.movwf(rng.choice(GPR_POOL))
        elif r < 0.94:
            f, b = rng.choice(sfr_bits)
            getattr(a, rng.choice(['btfss', 'btfsc']))(f, b)
            a.incf(g, F)
        else:
            a.lfsr(0, 0x100 + rng.randrange(0x80))
    a.ret()


def sine_table(n, amp, off):
    import math
    return [int(round(off + amp * math.sin(2 * math.pi * i / n))) & 0xFF for i in range(n)]


def crc16_table():
    out = []
    for i in range(256):
        c = i << 8
        for _ in range(8):
            c = (c << 1) ^ 0x1021 if c & 0x8000 else c << 1
        c &= 0xFFFF
        out += [c & 0xFF, c >> 8]
    return out


def text_table(lines):
    out = []
    for s in lines:
        out += list(s.encode('ascii')) + [0]
    return out


def application(a, chip, rng):
    base = chip['boot_words'] * 2
    a.org(base)
    a.goto('main')
    a.org(base + 0x08)
    a.goto('isr_high')
    a.org(base + 0x18)
    a.goto('isr_low')

    a.label('isr_high')          # timer 0 tick
    a.bcf(SFR['INTCON'], 2)
    a.movlw(0x3C); a.movwf(SFR['TMR0H'])
    a.movlw(0xB0); a.movwf(SFR['TMR0L'])
    a.incf(RAM['tick'], F)
    a.bsf(RAM['flags'], 0)
    a.retfie(1)

    a.label('isr_low')           # serial receive
    a.btfss(SFR['PIR1'], 5)
    a.retfie(0)
    a.movf(SFR['RCREG'], W)
    a.movwf(RAM['rxbuf'])
    a.bsf(RAM['flags'], 1)
    a.retfie(0)

    a.label('main')
    a.clrf(SFR['INTCON'])
    for name, val in chip['init']:
        a.movlw(val); a.movwf(SFR[name])
    a.lfsr(0, 0x100)
    a.clrf(RAM['state']); a.clrf(RAM['flags']); a.clrf(RAM['err'])
    a.movlw(0xC0); a.movwf(SFR['INTCON'])
    a.label('main_loop')
    a.clrwdt()
    a.btfss(RAM['flags'], 0)
    a.bra('main_loop')
    a.bcf(RAM['flags'], 0)
    for t in chip['task_names']:
        a.call(t)
    a.bra('main_loop')

    a.label('crc_update')        # CRC-16/CCITT by table, byte in W
    a.xorwf(RAM['crc_hi'], W)
    a.movwf(RAM['tmp'])
    a.tblptr(chip['crc_table'])
    a.movf(RAM['tmp'], W); a.addwf(SFR['TBLPTRL'], F)
    a.movlw(0); a.addwfc(SFR['TBLPTRH'], F)
    a.movf(RAM['tmp'], W); a.addwf(SFR['TBLPTRL'], F)
    a.movlw(0); a.addwfc(SFR['TBLPTRH'], F)
    a.tblrd_postinc(); a.movf(SFR['TABLAT'], W); a.xorwf(RAM['crc_lo'], W); a.movwf(RAM['tmp2'])
    a.tblrd_postinc(); a.movf(SFR['TABLAT'], W)
    a.movff(RAM['crc_lo'], RAM['crc_hi']); a.movwf(RAM['crc_hi'])
    a.movff(RAM['tmp2'], RAM['crc_lo'])
    a.ret()

    a.label('sine_lookup')       # phase in W -> sample in W
    a.movwf(RAM['tmp'])
    a.tblptr(chip['sine_table'])
    a.movf(RAM['tmp'], W); a.addwf(SFR['TBLPTRL'], F)
    a.tblrd_postinc(); a.movf(SFR['TABLAT'], W)
    a.ret()

    a.label('adc_read')          # channel in W
    a.movwf(RAM['chan'])
    a.rlcf(RAM['chan'], W); a.rlcf(SFR['WREG'], F)
    a.andlw(0x3C); a.iorlw(0x01); a.movwf(SFR['ADCON0'])
    a.bsf(SFR['ADCON0'], 1)
    a.label('adc_wait')
    a.btfsc(SFR['ADCON0'], 1)
    a.bra('adc_wait')
    a.movf(SFR['ADRESH'], W)
    a.ret()

    sfr_bits = [(SFR['LATB'], b) for b in range(1, 8)] + [(SFR['LATC'], b) for b in (0, 1, 2, 5)] + \
               [(SFR['LATA'], b) for b in range(1, 6)] + [(RAM['flags'], b) for b in range(2, 8)]
    helpers = ['crc_update', 'sine_lookup', 'adc_read']

    # task modules: placed in every quarter, each module a run of routines
    placed = []
    for start, count in chip['modules']:
        a.org(start)
        names = []
        for k in range(count):
            name = f'r_{start:04x}_{k}'
            random_routine(a, rng, name, helpers + placed[-12:], sfr_bits)
            names.append(name)
        placed += names
    # the main loop calls one entry of each module
    for t, start in zip(chip['task_names'], [m[0] for m in chip['modules']]):
        a.labels[t] = a.labels[f'r_{start:04x}_0']

    a.org(chip['sine_table'])
    a.data(sine_table(256, 120, 128))
    a.org(chip['crc_table'])
    a.data(crc16_table())
    a.org(chip['text_table'])
    a.data(text_table(chip['texts']))
    a.org(0x7FF0)                # image identification at the top of memory
    a.data(list(chip['banner'].encode('ascii'))[:12] + [chip['version'], 0x00, 0x5A, 0xA5])


def to_hex(mem, config, eol):
    def rec(offset, typ, data):
        body = [len(data), offset >> 8 & 0xFF, offset & 0xFF, typ] + data
        cs = (-sum(body)) & 0xFF
        return ':' + ''.join(f'{b:02X}' for b in body) + f'{cs:02X}'

    lines = [rec(0, 0x04, [0x00, 0x00])]
    rows = sorted({addr & ~0xF for addr in mem})
    for row in rows:
        # one record per run of present bytes inside a 16-byte row
        run = []
        start = None
        for addr in range(row, row + 16):
            if addr in mem:
                if start is None:
                    start = addr
                run.append(mem[addr])
            elif run:
                lines.append(rec(start, 0x00, run)); run = []; start = None
        if run:
            lines.append(rec(start, 0x00, run))
    lines.append(rec(0, 0x04, [0x00, 0x30]))
    lines.append(rec(0, 0x00, config))
    lines.append(rec(0, 0x01, []))
    return eol.join(lines) + eol


CHIPS = [
    dict(
        name='252', file='Tvn_252_V22.hex', eol='\n', boot_words=384, spbrg=64, write_block=8,
        banner='KRD252 V2.2\r', version=0x22, seed=252,
        calibration=[0x5A, 0x01, 0x80, 0x7F, 0x10, 0x00, 0xC3, 0x3C],
        init=[('TRISA', 0x2F), ('TRISB', 0x01), ('TRISC', 0x80), ('ADCON1', 0x82),
              ('T0CON', 0x88), ('PR2', 0xF9), ('T2CON', 0x05), ('CCP1CON', 0x0C),
              ('SPBRG', 64), ('TXSTA', 0x24), ('RCSTA', 0x90)],
        modules=[(0x0600, 9), (0x1200, 7), (0x2100, 10), (0x3400, 6), (0x4200, 9),
                 (0x5600, 6), (0x6200, 9), (0x7400, 5)],
        task_names=['task_adc', 'task_pwm', 'task_uart', 'task_keys', 'task_relay',
                    'task_log', 'task_watch', 'task_led'],
        sine_table=0x1E00, crc_table=0x4E00, text_table=0x7A00,
        texts=['KRD module', 'Firmware V2.2', 'PIC18F252', 'Ready', 'Overload',
               'Sensor fault', 'Calibration', 'Relay 1', 'Relay 2', 'Service mode'],
        # Config1L..Config7H: HS oscillator, PWRT and BOR 4.2 V on, WDT 1:128,
        # CCP2 on RC1, no debugger, no LVP, stack reset; nothing protected.
        config=[0xFF, 0x22, 0x06, 0x0F, 0xFF, 0x01, 0x81, 0xFF,
                0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40],
    ),
    dict(
        name='2520', file='Tvn_2520_V23.hex', eol='\r\n', boot_words=1024, spbrg=25, write_block=32,
        banner='TVN2520 V2.3\r', version=0x23, seed=2520,
        calibration=[0xA5, 0x02, 0x7E, 0x81, 0x20, 0x00, 0x3C, 0xC3],
        init=[('OSCCON', 0x72), ('TRISA', 0x2F), ('TRISB', 0x01), ('TRISC', 0x80),
              ('ADCON1', 0x0B), ('ADCON2', 0xA9), ('T0CON', 0x88), ('PR2', 0xC7),
              ('T2CON', 0x04), ('CCP1CON', 0x0C), ('SPBRG', 25), ('TXSTA', 0x24),
              ('RCSTA', 0x90)],
        modules=[(0x0A00, 8), (0x1600, 7), (0x2300, 9), (0x3600, 7), (0x4100, 10),
                 (0x5800, 6), (0x6100, 9), (0x7200, 6)],
        task_names=['task_adc', 'task_pwm', 'task_uart', 'task_keys', 'task_relay',
                    'task_log', 'task_watch', 'task_led'],
        sine_table=0x1D00, crc_table=0x5000, text_table=0x7900,
        texts=['TVN module', 'Firmware V2.3', 'PIC18F2520', 'Ready', 'Overload',
               'Sensor fault', 'Calibration', 'Heater', 'Fan', 'Service mode'],
        # Config1L..Config7H: HS oscillator, PWRT on, BOR in hardware at 2.8 V,
        # WDT 1:128, MCLR on, PORTB digital, CCP2 on RC1, no debugger, no XINST,
        # no LVP, stack reset; nothing protected.
        config=[0xFF, 0x02, 0x16, 0x0F, 0xFF, 0x81, 0x81, 0xFF,
                0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40],
    ),
]


def build(chip):
    rng = random.Random(chip['seed'])
    a = Asm()
    boot_block(a, chip)
    application(a, chip, rng)
    a.resolve()
    assert max(a.mem) < 0x8000, 'image overflows the 32 KB of program memory'
    return to_hex(a.mem, chip['config'], chip['eol']), a.mem


def main():
    outdir = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for chip in CHIPS:
        text, mem = build(chip)
        with open(os.path.join(outdir, chip['file']), 'w', newline='') as f:
            f.write(text)
        quarters = [sum(1 for r in range(q * 0x2000, (q + 1) * 0x2000, 32)
                        if any(x in mem for x in range(r, r + 32))) for q in range(4)]
        print(f"{chip['file']}: {len(mem)} bytes, {len(text)} characters, "
              f"rows of 32 bytes used per quarter {quarters}")


if __name__ == '__main__':
    main()
