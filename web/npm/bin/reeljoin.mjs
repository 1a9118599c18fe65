#!/usr/bin/env node
// The reeljoin command on Node: the program itself, built to WebAssembly,
// reading and writing the machine's files (and pipes) through Node.
import { createRequire } from 'node:module';

createRequire(import.meta.url)('../lib/reeljoin-cli.cjs');
