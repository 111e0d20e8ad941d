// A real OAuth 2 authorization server for the OAuth client's tests, on 127.0.0.1 and a free
// port. It prints "listening <port>" once it accepts connections, then one line per request
// with the time it arrived, in nanoseconds of the system's monotonic clock (the one a test's
// std::chrono::steady_clock reads): "81234567890123 POST /token". A test can so see what
// reached it, and in which order with the requests its own servers saw.
//
// Clients, for the client-credentials grant:
//   basic-client / basic-secret   client_secret_basic
//   post-client / post-secret     client_secret_post
//   jwt-client                    private_key_jwt with ES256, its public key read from the PEM
//                                 file named by CLIENT_PUBLIC_KEY
// Tokens are issued for the resource "urn:vantor:test" with the scopes "read write".
//
// With MCP_RESOURCE set to a protected MCP server's URL and AS_SIGNING_KEY to the PEM file of a
// P-256 private key, tokens for that resource are JWTs signed with the key (ES256), their
// audience the URL and their scopes at most "read write", so that the MCP server can check
// them itself. Refresh tokens come with every code grant.
//
// Clients may also register themselves and run the authorization-code grant with PKCE. Nobody
// is there to log in: the server lets "test-user" in and grants what is asked, and answers the
// authorization request with the final redirect to the client at once, so that a client without
// a browser gets its code.

import { createPrivateKey, createPublicKey } from 'node:crypto';
import { readFileSync } from 'node:fs';
import { createServer } from 'node:http';

import Provider from 'oidc-provider';

const kResource = 'urn:vantor:test';

const clients = [
  {
    client_id: 'basic-client',
    client_secret: 'basic-secret',
    token_endpoint_auth_method: 'client_secret_basic',
    grant_types: ['client_credentials'],
    response_types: [],
    redirect_uris: [],
  },
  {
    client_id: 'post-client',
    client_secret: 'post-secret',
    token_endpoint_auth_method: 'client_secret_post',
    grant_types: ['client_credentials'],
    response_types: [],
    redirect_uris: [],
  },
];
if (process.env.CLIENT_PUBLIC_KEY) {
  const jwk = createPublicKey(readFileSync(process.env.CLIENT_PUBLIC_KEY)).export({ format: 'jwk' });
  clients.push({
    client_id: 'jwt-client',
    token_endpoint_auth_method: 'private_key_jwt',
    token_endpoint_auth_signing_alg: 'ES256',
    jwks: { keys: [{ ...jwk, alg: 'ES256', use: 'sig' }] },
    grant_types: ['client_credentials'],
    response_types: [],
    redirect_uris: [],
  });
}

const mcpResource = process.env.MCP_RESOURCE;
const signingKeys = [];
if (process.env.AS_SIGNING_KEY) {
  const jwk = createPrivateKey(readFileSync(process.env.AS_SIGNING_KEY)).export({ format: 'jwk' });
  signingKeys.push({ ...jwk, alg: 'ES256', use: 'sig', kid: 'as-signing-key' });
}

const resourceServerInfo = (indicator) => {
  if (mcpResource && indicator === mcpResource) {
    return { scope: 'read write', audience: mcpResource, accessTokenFormat: 'jwt', jwt: { sign: { alg: 'ES256' } } };
  }
  return { scope: 'read write', audience: kResource, accessTokenFormat: 'opaque' };
};

const server = createServer();
server.listen(0, '127.0.0.1', () => {
  const { port } = server.address();
  const issuer = `http://127.0.0.1:${port}`;
  const provider = new Provider(issuer, {
    clients,
    // Without an RSA key, clients get their ID tokens signed with the one key there is.
    ...(signingKeys.length > 0 && {
      jwks: { keys: signingKeys },
      clientDefaults: {
        grant_types: ['authorization_code'],
        id_token_signed_response_alg: 'ES256',
        response_types: ['code'],
        token_endpoint_auth_method: 'client_secret_basic',
      },
    }),
    issueRefreshToken: async (_context, client) => client.grantTypeAllowed('refresh_token'),
    ttl: {
      AccessToken: 600,
      AuthorizationCode: 60,
      ClientCredentials: 600,
      Grant: 3600,
      IdToken: 600,
      Interaction: 600,
      RefreshToken: 3600,
      Session: 3600,
    },
    features: {
      devInteractions: { enabled: false },
      clientCredentials: { enabled: true },
      registration: { enabled: true },
      resourceIndicators: {
        enabled: true,
        defaultResource: () => kResource,
        getResourceServerInfo: (_context, indicator) => resourceServerInfo(indicator),
      },
    },
  });
  const handle = provider.callback();

  // Lets the user in and grants everything the client asked for.
  const finishInteraction = async (request, response) => {
    const { prompt, params, session, grantId } = await provider.interactionDetails(request, response);
    let result;
    if (prompt.name === 'login') {
      result = { login: { accountId: 'test-user' } };
    } else {
      const grant = grantId
        ? await provider.Grant.find(grantId)
        : new provider.Grant({ accountId: session.accountId, clientId: params.client_id });
      const { missingOIDCScope, missingOIDCClaims, missingResourceScopes } = prompt.details;
      if (missingOIDCScope) grant.addOIDCScope(missingOIDCScope.join(' '));
      if (missingOIDCClaims) grant.addOIDCClaims(missingOIDCClaims);
      for (const [indicator, scopes] of Object.entries(missingResourceScopes ?? {})) {
        grant.addResourceScope(indicator, scopes.join(' '));
      }
      result = { consent: { grantId: await grant.save() } };
    }
    const next = await provider.interactionResult(request, response, result, { mergeWithLastSubmission: false });
    response.writeHead(303, { location: next });
    response.end();
  };

  // Walks the authorization request through login and consent as a browser would, and hands
  // the client the redirect that ends it.
  const authorizeAtOnce = async (request, response) => {
    const cookies = new Map();
    let url = new URL(request.url, issuer);
    for (let step = 0; step < 10; step += 1) {
      const cookie = [...cookies].map(([name, value]) => `${name}=${value}`).join('; ');
      const answer = await fetch(url, { redirect: 'manual', headers: { cookie, 'x-on-behalf': '1' } });
      for (const set of answer.headers.getSetCookie()) {
        const pair = set.split(';')[0];
        const equals = pair.indexOf('=');
        cookies.set(pair.slice(0, equals), pair.slice(equals + 1));
      }
      const location = answer.headers.get('location');
      if (!location) {
        response.writeHead(answer.status, { 'content-type': answer.headers.get('content-type') ?? 'text/plain' });
        response.end(await answer.text());
        return;
      }
      const next = new URL(location, url);
      if (next.origin !== issuer) {
        response.writeHead(302, { location: next.href });
        response.end();
        return;
      }
      url = next;
    }
    response.writeHead(500);
    response.end('too many steps');
  };

  server.on('request', (request, response) => {
    const onBehalf = request.headers['x-on-behalf'] === '1';
    const path = request.url.split('?')[0];
    if (!onBehalf) process.stdout.write(`${process.hrtime.bigint()} ${request.method} ${path}\n`);
    const failed = (error) => {
      process.stderr.write(`${error.stack}\n`);
      response.writeHead(500);
      response.end();
    };
    if (!onBehalf && request.method === 'GET' && path === '/auth') {
      authorizeAtOnce(request, response).catch(failed);
    } else if (onBehalf && path.startsWith('/interaction/')) {
      finishInteraction(request, response).catch(failed);
    } else {
      handle(request, response);
    }
  });
  process.stdout.write(`listening ${port}\n`);
});

// The test holds standard input open; when it goes, so does the server.
process.stdin.on('end', () => process.exit(0));
process.stdin.resume();
