/** An input: its bytes, or its bytes with a name for the messages and frame selections. */
export type Input = Uint8Array | ArrayBuffer | {
    name?: string;
    data: Uint8Array | ArrayBuffer;
    /** Selections as on the command line: "#3", "#0-9", "#20-", "#-1-0" (backwards). */
    select?: string | string[];
};

/** The command line's options; each defaults as there. */
export interface Options {
    /** -d: frame delay, hundredths of a second (20). */
    delay?: number;
    /** -e: delay of the last input's frames (80). */
    lastDelay?: number;
    /** --keep-delays: each frame keeps its own delay. */
    keepDelays?: boolean;
    /** --fit: the canvas fits the largest input. */
    fit?: boolean;
    /** --center: as fit, smaller inputs centred. */
    center?: boolean;
    /** --compact: one colour table where inputs share it. */
    compact?: boolean;
    /** --loop=N: repeat N times after the first play (0: for ever). */
    loop?: number;
    /** --no-loop: play once. */
    noLoop?: boolean;
    /** -s: no "Processing: NAME" message per input. */
    quiet?: boolean;
}

export interface Joined {
    /** The animated GIF. */
    gif: Uint8Array;
    /** Every line the program would print, warnings included, in order. */
    messages: string[];
}

/** Thrown where the program would exit with status 1. */
export class JoinError extends Error {
    messages: string[];
}

export const defaults: Readonly<Required<Omit<Options, 'loop'>> & { loop: undefined }>;

/** Joins the inputs, in order, into one animated GIF. */
export function join(inputs: Input | Input[], options?: Options): Promise<Joined>;
