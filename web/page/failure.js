// One line for an error thrown in a worker, for the page to show.
export function describeFailure(error) {
    if (error instanceof WebAssembly.RuntimeError) return 'the library stopped, most likely out of memory';
    if (error instanceof RangeError && /memory|allocation/i.test(error.message)) return 'out of memory';
    return error && error.message ? error.message : String(error);
}
