// Uses the package as its types say a caller may; the tests compile it.
import { join, JoinError, defaults, type Input, type Options, type Joined } from 'reeljoin';

const bytes = new Uint8Array([71, 73, 70]);
const inputs: Input[] = [bytes, bytes.buffer, { name: 'clip.gif', data: bytes, select: ['#0-9', '#20-'] }, { data: bytes, select: '#-1-0' }];
const options: Options = { delay: 5, lastDelay: 100, keepDelays: true, fit: true, center: true, compact: true, loop: 2, noLoop: false };
const delay: number = defaults.delay;

async function run(): Promise<Uint8Array> {
    try {
        const joined: Joined = await join(inputs, { ...options, delay });
        const lines: string[] = joined.messages;
        return lines.length >= 0 ? joined.gif : new Uint8Array(0);
    } catch (e) {
        if (e instanceof JoinError) console.error(e.messages.join('\n'));
        throw e;
    }
}
void run;
